#include "app/PicturePrefetch.h"

#include "app/PictureFile.h"
#include "imaging/JpegDecoder.h"
#include "platform/StartTimeline.h"

#include <sys/stat.h>

#include <utility>

namespace tavo {

namespace {

// The stamp of a regular file; none for anything else, or when it cannot be read.
std::optional<PicturePrefetch::FileStamp> stampOf(const std::string& path)
{
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    auto ns = [](const timespec& t) { return static_cast<long long>(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return PicturePrefetch::FileStamp{static_cast<unsigned long long>(info.st_dev),
                                      static_cast<unsigned long long>(info.st_ino),
                                      static_cast<long long>(info.st_size), ns(info.st_mtim),
                                      ns(info.st_ctim)};
}

bool eightBitMode() { return jpegScreenDepth() <= 8; }

} // namespace

PicturePrefetch::PicturePrefetch(std::string path) : path_(std::move(path))
{
    if (path_.empty() || pictureDecoderFor(path_) == PictureDecoder::Plugins)
        return;
    eightBitMode_ = eightBitMode();
    thread_ = std::thread([this] { run(); });
}

PicturePrefetch::~PicturePrefetch()
{
    if (thread_.joinable())
        thread_.join();
}

void PicturePrefetch::run()
{
    platform::markStartPhase("prefetch");
    const auto before = stampOf(path_);
    if (!before)
        return;  // missing, unreadable or not a plain file: the load reports it
    try {
        picture_ = decodePictureFile(path_);
    } catch (...) {
        error_ = std::current_exception();
    }
    // Written while it was read: the result may mix two versions.
    if (stampOf(path_) == before)
        stamp_ = before;
    platform::markStartPhase("prefetched");
}

std::optional<Bitmap> PicturePrefetch::take(const std::string& path)
{
    if (thread_.joinable())
        thread_.join();
    const bool applies = stamp_ && pictureDecoderFor(path) == pictureDecoderFor(path_) &&
                         eightBitMode() == eightBitMode_ && stampOf(path) == stamp_;
    stamp_.reset();
    std::optional<Bitmap> picture = std::move(picture_);
    picture_.reset();
    const std::exception_ptr error = std::exchange(error_, nullptr);
    if (!applies)
        return std::nullopt;
    if (error)
        std::rethrow_exception(error);
    return picture;
}

} // namespace tavo
