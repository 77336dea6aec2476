// The command-line picture decoded on a thread of its own while the toolkit
// starts, on the second core, so that the first load finds it ready instead
// of decoding after the window is built.
//
// Only a regular file that a built-in decoder takes (JPEG, BMP) is decoded
// ahead; the plug-in path always runs inside the load. The load takes the
// result only for the same file, unchanged since it was read, in the same
// decoder mode; then the picture, or the decoder's error, is exactly what its
// own decode would give, and the error is raised at the load's moment. In
// every other case the load decodes as it always does.
#pragma once

#include "imaging/Bitmap.h"

#include <exception>
#include <optional>
#include <string>
#include <thread>

namespace tavo {

class PicturePrefetch {
public:
    // Starts decoding `path` when it qualifies; otherwise does nothing.
    explicit PicturePrefetch(std::string path);
    // Waits for the decode when it still runs.
    ~PicturePrefetch();
    PicturePrefetch(const PicturePrefetch&) = delete;
    PicturePrefetch& operator=(const PicturePrefetch&) = delete;

    // Waits for the decode, then hands its picture over when `path` names the
    // decoded file as it was read: the picture, or the decoder's error thrown
    // unchanged. Nothing when the result does not apply, or was taken before.
    std::optional<Bitmap> take(const std::string& path);

    // The identity of a file as read: it changes when the file is replaced or written.
    struct FileStamp {
        unsigned long long device = 0, inode = 0;
        long long size = 0, modifiedNs = 0, changedNs = 0;
        bool operator==(const FileStamp&) const = default;
    };

private:
    void run();

    std::string path_;
    bool eightBitMode_ = false;  // the JPEG decoder's mode when the decode began
    std::optional<FileStamp> stamp_;  // none: the result does not apply
    std::optional<Bitmap> picture_;
    std::exception_ptr error_;
    std::thread thread_;
};

} // namespace tavo
