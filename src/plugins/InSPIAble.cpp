#include "plugins/InSPIAble.h"

#include "imaging/PathParts.h"
#include "platform/Errors.h"
#include "plugins/PluginHosts.h"
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
    // Plug-ins still waiting for their host (Wine) are waited for: this load
    // may need them.
    if (registry->hasPending())
        registry->resolvePending();
    std::vector<TSPI*> order;
    registry->FindSPIs({spiClassOf<TInSPI>()}, CurExt, order);
    // The plug-in hosts read the data of every attempt from one shared copy.
    const PluginHosts::LoadScope shared(data);
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
    // The host reads the data from shared memory that holds 2048 zero bytes
    // after its end: short data is seen as a zero-filled 2048-byte block.
    const char* buffer = reinterpret_cast<const char*>(address);
    const auto length = static_cast<intptr_t>(size);

    if (spi.IsSupported(CurFileName.c_str(), address) == 0)
        return false;

    TPictureInfoRec record;
    SPI_PICTINFO info = {};
    std::string infoText;
    if (spi.GetPictureInfo(buffer, length, SPI_INPUT_MEMORY, &info, &infoText) == 0) {
        record.Left = info.left;
        record.Top = info.top;
        record.Width = info.width;
        record.Height = info.height;
        record.XDensity = info.x_density;
        record.YDensity = info.y_density;
        record.ColorDepth = info.colorDepth;
        record.Info = std::move(infoText);
        record.Valid = true;
    }

    TSPIPicture picture;
    progressError_ = nullptr;
    const int32_t result = spi.GetPicture(buffer, length, SPI_INPUT_MEMORY, &picture, &SPIProgress,
                                          reinterpret_cast<intptr_t>(this));
    // The handler's error ends the load whatever the plug-in answered.
    if (progressError_)
        std::rethrow_exception(std::exchange(progressError_, nullptr));
    // A failure, or handles the host did not know, fails the attempt.
    if (result != 0 || !picture.info || !picture.bits)
        return false;
    // The host can still write to the shared blocks: the information block is
    // read from a copy of its own, the pixels only within their block's size.
    const std::span<const uint8_t> shared = picture.info->bytes();
    const std::vector<uint8_t> infoBlock(shared.begin(), shared.end());
    bool done = false;
    OnPicture(infoBlock, picture.bits->bytes(), record, done);
    return done;
}

} // namespace tavo
