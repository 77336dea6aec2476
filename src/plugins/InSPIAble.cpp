#include "plugins/InSPIAble.h"

#include "imaging/PathParts.h"
#include "platform/Errors.h"
#include "platform/LocalMemory.h"
#include "plugins/SPIs.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

namespace tavo {

namespace {

constexpr std::size_t kHeaderRetryOffset = 128;
constexpr std::size_t kMinimumBlock = 2048;

// Frees both picture handles in the written order, also when the sink raises.
// A handle the table does not know is not touched.
class ReceivedHandles {
public:
    ReceivedHandles(HLOCAL info, HLOCAL bits) : info_(info), bits_(bits) {}
    ~ReceivedHandles()
    {
        if (infoLocked_)
            LocalUnlock(info_);
        if (bitsLocked_)
            LocalUnlock(bits_);
        LocalFree(info_);
        if (bits_ != info_)
            LocalFree(bits_);
    }
    ReceivedHandles(const ReceivedHandles&) = delete;
    ReceivedHandles& operator=(const ReceivedHandles&) = delete;

    // Locks the bits, then the info; false when either handle is unknown.
    bool lock()
    {
        bitsLocked_ = LocalLock(bits_) != nullptr;
        infoLocked_ = LocalLock(info_) != nullptr;
        return bitsLocked_ && infoLocked_;
    }

private:
    HLOCAL info_;
    HLOCAL bits_;
    bool infoLocked_ = false;
    bool bitsLocked_ = false;
};

std::string takeInfoText(HLOCAL handle)
{
    std::string text;
    if (LocalLock(handle) != nullptr) {
        if (const auto block = platform::localBlock(handle)) {
            const auto end = std::find(block->begin(), block->end(), std::uint8_t{0});
            text.assign(block->begin(), end);
        }
        LocalUnlock(handle);
    }
    LocalFree(handle);
    return text;
}

} // namespace

int32_t mulDiv(int32_t a, int32_t b, int32_t c)
{
    if (c == 0)
        return -1;
    const int64_t product = static_cast<int64_t>(a) * b;
    const int64_t magnitude = (std::llabs(product) + std::llabs(c) / 2) / std::llabs(c);
    if (magnitude > std::numeric_limits<int32_t>::max())
        return -1; // the result does not fit, as in Windows
    const bool negative = (product < 0) != (c < 0);
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

int32_t SPIProgress(int32_t nNum, int32_t nDenom, intptr_t lData)
{
    auto* loader = reinterpret_cast<TInSPIAble*>(lData);
    if (loader == nullptr || !loader->OnProgress || loader->progressError_)
        return 0;
    try {
        if (nNum == 0) {
            loader->OnProgress(TProgressStage::psStarting, 0, false);
        } else if (nNum == nDenom) {
            loader->OnProgress(TProgressStage::psEnding, 100, true);
        } else {
            // A count beyond the total, or a total of 0, would give no percentage.
            const int32_t percent = std::clamp(mulDiv(nNum, 100, nDenom), 0, 100);
            loader->OnProgress(TProgressStage::psRunning, static_cast<uint8_t>(percent), false);
        }
    } catch (...) {
        loader->progressError_ = std::current_exception();
    }
    return 0;
}

namespace {

// The name of one named load, set for its duration and emptied afterwards,
// whatever the outcome.
class NamedLoad {
public:
    NamedLoad(std::string& curExt, std::string& curFileName, const std::string& fileName)
        : curExt_(curExt), curFileName_(curFileName)
    {
        curExt_ = extensionPart(fileName);
        curFileName_ = fileName;
    }
    ~NamedLoad()
    {
        curExt_.clear();
        curFileName_.clear();
    }
    NamedLoad(const NamedLoad&) = delete;
    NamedLoad& operator=(const NamedLoad&) = delete;

private:
    std::string& curExt_;
    std::string& curFileName_;
};

} // namespace

void TInSPIAble::LoadFromFile(const std::string& fileName)
{
    const NamedLoad named(CurExt, CurFileName, fileName);
    InheritedLoadFromFile(fileName);
}

void TInSPIAble::LoadFromNamedStream(std::span<const uint8_t> data, const std::string& fileName)
{
    const NamedLoad named(CurExt, CurFileName, fileName);
    LoadFromStream(data);
}

void TInSPIAble::LoadFromStream(std::span<const uint8_t> data)
{
    const bool nativeFirst = CurExt.empty() || upperCaseAscii(CurExt.substr(1)) == upperCaseAscii(NativeExt);
    bool loaded;
    if (nativeFirst)
        loaded = TryNative(data) || TrySPIs(data);
    else
        loaded = TrySPIs(data) || TryNative(data);
    if (!loaded)
        throw EInvalidGraphic(kUnknownFormatMessage);
}

bool TInSPIAble::TryNative(std::span<const uint8_t> data)
{
    try {
        InheritedLoadFromStream(data);
        return true;
    } catch (const EInvalidGraphic&) {
        return false;
    }
}

bool TInSPIAble::TrySPIs(std::span<const uint8_t> data)
{
    TSPIs* registry = GlobalSPIs();
    if (registry == nullptr)
        return false;
    std::vector<TSPI*> order;
    registry->FindSPIs({spiClassOf<TInSPI>()}, CurExt, order);
    for (TSPI* spi : order) {
        // A plug-in that faulted in this run is never called again.
        if (spi->faulted())
            continue;
        if (TrySPI(static_cast<TInSPI&>(*spi), data))
            return true;
    }
    return false;
}

bool TInSPIAble::TrySPI(TInSPI& spi, std::span<const uint8_t> data)
{
    bool done = TryData(spi, data.data(), data.size());
    if (!done && HeaderRetry && data.size() > kHeaderRetryOffset)
        done = TryData(spi, data.data() + kHeaderRetryOffset, data.size() - kHeaderRetryOffset);
    return done;
}

bool TInSPIAble::TryData(TInSPI& spi, const uint8_t* address, std::size_t size)
{
    // Plug-ins read the first 2048 bytes unchecked; shorter data gets a padded copy.
    std::vector<uint8_t> padded;
    if (size < kMinimumBlock) {
        padded.assign(kMinimumBlock, 0);
        if (size != 0)
            std::memcpy(padded.data(), address, size);
        address = padded.data();
    }
    const char* buffer = reinterpret_cast<const char*>(address);
    const auto length = static_cast<intptr_t>(size);

    if (spi.IsSupported(CurFileName.c_str(), address) == 0)
        return false;

    TPictureInfoRec record;
    SPI_PICTINFO info = {};
    if (spi.GetPictureInfo(buffer, length, SPI_INPUT_MEMORY, &info) == 0) {
        record.Left = info.left;
        record.Top = info.top;
        record.Width = info.width;
        record.Height = info.height;
        record.XDensity = info.x_density;
        record.YDensity = info.y_density;
        record.ColorDepth = info.colorDepth;
        if (info.hInfo != nullptr)
            record.Info = takeInfoText(info.hInfo);
        record.Valid = true;
    }

    HLOCAL infoHandle = nullptr;
    HLOCAL bitsHandle = nullptr;
    progressError_ = nullptr;
    const int32_t result = spi.GetPicture(buffer, length, SPI_INPUT_MEMORY, &infoHandle, &bitsHandle,
                                          &SPIProgress, reinterpret_cast<intptr_t>(this));
    if (result != 0) {
        // The handler's error ends the load whatever the plug-in answered; on
        // failure the plug-in has freed its handles itself.
        if (progressError_)
            std::rethrow_exception(std::exchange(progressError_, nullptr));
        return false;
    }
    ReceivedHandles handles(infoHandle, bitsHandle);
    if (progressError_)
        std::rethrow_exception(std::exchange(progressError_, nullptr));
    // A handle the table does not know (bogus, or freed already) fails the attempt.
    if (!handles.lock())
        return false;
    const auto infoBlock = platform::localBlock(infoHandle);
    const auto bitsBlock = platform::localBlock(bitsHandle);
    bool done = false;
    OnPicture(*infoBlock, *bitsBlock, record, done);
    return done;
}

} // namespace tavo
