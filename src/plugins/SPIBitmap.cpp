#include "plugins/SPIBitmap.h"

#include "imaging/BmpReader.h"
#include "imaging/FileBytes.h"
#include "platform/Errors.h"
#include "plugins/DibImage.h"
#include "plugins/SPIs.h"

namespace tavo {

const TGraphicClassInfo TSPIBitmap::graphicClass{"TSPIBitmap"};

namespace {

// Plug-in formats are registered with TSPIBitmap from the start of the program,
// before any registry exists.
const bool registeredAsDefault = [] {
    TSPIs::SetDefaultGraphicClass(&TSPIBitmap::graphicClass);
    return true;
}();

} // namespace

TSPIBitmap::TSPIBitmap() : Loader(std::make_unique<TInSPIAble>(this))
{
    (void)registeredAsDefault;
    Loader->NativeExt = "BMP";
    Loader->InheritedLoadFromFile = [this](const std::string& fileName) {
        const FileBytes data = FileBytes::read(fileName);
        LoadFromStream(data.bytes());
    };
    Loader->InheritedLoadFromStream = [this](std::span<const uint8_t> data) {
        bitmap_ = ReadBmpStream(data.data(), data.size());
    };
    Loader->OnPicture = [this](std::span<const uint8_t> info, std::span<const uint8_t> bits,
                               const TPictureInfoRec&, bool& Done) { ReceiveDIB(info, bits, Done); };
    Loader->OnProgress = [this](TProgressStage stage, uint8_t percent, bool redraw) {
        if (OnProgress)
            OnProgress(stage, percent, redraw);
    };
}

TSPIBitmap::~TSPIBitmap() = default;

void TSPIBitmap::Assign(const TSPIBitmap& source)
{
    HeaderRetry = source.HeaderRetry;
    bitmap_ = source.bitmap_;
}

void TSPIBitmap::Assign(const Bitmap& source)
{
    bitmap_ = source;
}

void TSPIBitmap::LoadFromFile(const std::string& fileName)
{
    Loader->HeaderRetry = HeaderRetry;
    Loader->LoadFromFile(fileName);
}

void TSPIBitmap::LoadFromStream(std::span<const uint8_t> data)
{
    Loader->HeaderRetry = HeaderRetry;
    Loader->LoadFromStream(data);
}

void TSPIBitmap::LoadFromNamedStream(std::span<const uint8_t> data, const std::string& fileName)
{
    Loader->HeaderRetry = HeaderRetry;
    Loader->LoadFromNamedStream(data, fileName);
}

// The plug-in's picture is read by the BMP reader as the bitmap file its
// blocks make: the headers built here, the pixels copied once, straight from
// the shared block into the bitmap. Each block is read within its own size;
// what a short block lacks is zero. An information block too short for its
// header, or with sizes no bitmap file can hold, is not taken: the attempt
// fails and the next plug-in follows.
void TSPIBitmap::ReceiveDIB(std::span<const uint8_t> info, std::span<const uint8_t> bits, bool& Done)
{
    const auto parts = dibParts(info, bits);
    if (!parts)
        return;
    bitmap_ = ReadBmpStream(parts->head, parts->pixels);
    Done = true;
}

} // namespace tavo
