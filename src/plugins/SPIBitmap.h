// A bitmap graphic that loads any format an installed import plug-in decodes,
// and ordinary BMP data with the built-in reader.
#pragma once

#include "imaging/Bitmap.h"
#include "plugins/InSPIAble.h"
#include "plugins/PictureFormats.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tavo {

class TSPIBitmap {
public:
    // The graphic class that plug-in formats are registered with.
    static const TGraphicClassInfo graphicClass;

    TSPIBitmap();
    virtual ~TSPIBitmap();
    TSPIBitmap(const TSPIBitmap&) = delete;
    TSPIBitmap& operator=(const TSPIBitmap&) = delete;

    // Takes the picture of source (shared until one changes), and its
    // HeaderRetry when source is a TSPIBitmap.
    void Assign(const TSPIBitmap& source);
    void Assign(const Bitmap& source);

    // The whole file is read into memory once; the file's open error
    // (EFOpenError) passes on and no plug-in is asked.
    void LoadFromFile(const std::string& fileName);
    void LoadFromStream(std::span<const uint8_t> data);
    virtual void LoadFromNamedStream(std::span<const uint8_t> data, const std::string& fileName);

    const Bitmap& bitmap() const { return bitmap_; }

    // Retry each plug-in from byte 128 when decoding from byte 0 fails.
    bool HeaderRetry = true;
    // The progress notification; nothing is attached in the viewer.
    TInSPIAble::ProgressEvent OnProgress;

private:
    void ReceiveDIB(std::span<const uint8_t> info, std::span<const uint8_t> bits, bool& Done);

    std::unique_ptr<TInSPIAble> Loader;
    Bitmap bitmap_;
};

} // namespace tavo
