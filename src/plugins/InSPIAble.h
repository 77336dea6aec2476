// Loading a picture through the import plug-ins on behalf of an owning graphic,
// which supplies its own native loaders and the sink for a decoded picture.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <span>
#include <string>

namespace tavo {

class TInSPI;

// What GetPictureInfo reported. When Valid is false only Info (empty) and Valid
// are defined.
struct TPictureInfoRec {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    uint16_t XDensity = 0;
    uint16_t YDensity = 0;
    int16_t ColorDepth = 0;
    std::string Info;
    bool Valid = false;
};

enum class TProgressStage { psStarting, psRunning, psEnding };

class TInSPIAble {
public:
    // Reads the whole file, then reaches LoadFromStream through the owner; the
    // file's open error (EFOpenError) propagates.
    using FileLoader = std::function<void(const std::string& fileName)>;
    // The owner's own decoder on the whole data; EInvalidGraphic means "not mine".
    using StreamLoader = std::function<void(std::span<const uint8_t> data)>;
    // The decoded picture: the information block and the pixel block, each
    // bounded by its handle's size. Set Done when the picture was taken.
    using PictureSink = std::function<void(std::span<const uint8_t> info, std::span<const uint8_t> bits,
                                           const TPictureInfoRec& record, bool& Done)>;
    using ProgressEvent = std::function<void(TProgressStage stage, uint8_t percentDone, bool redrawNow)>;

    explicit TInSPIAble(void* graphic) : Graphic(graphic) {}

    void LoadFromFile(const std::string& fileName);
    void LoadFromNamedStream(std::span<const uint8_t> data, const std::string& fileName);
    void LoadFromStream(std::span<const uint8_t> data);

    void* Graphic;
    std::string CurExt;
    std::string CurFileName;
    std::string NativeExt;
    FileLoader InheritedLoadFromFile;
    StreamLoader InheritedLoadFromStream;
    PictureSink OnPicture;
    ProgressEvent OnProgress;
    bool HeaderRetry = false;

private:
    bool TryNative(std::span<const uint8_t> data);
    bool TrySPIs(std::span<const uint8_t> data);
    bool TrySPI(TInSPI& spi, std::span<const uint8_t> data);
    bool TryData(TInSPI& spi, const uint8_t* address, std::size_t size);

    friend int32_t SPIProgress(int32_t nNum, int32_t nDenom, intptr_t lData);
    // An error of the progress handler cannot pass through the plug-in's frames;
    // it is kept and raised when GetPicture has returned.
    std::exception_ptr progressError_;
};

// The progress callback handed to GetPicture; lData is the loader. Returns 0.
int32_t SPIProgress(int32_t nNum, int32_t nDenom, intptr_t lData);

// Windows' MulDiv: a × b ÷ c rounded half away from zero; -1 when c is 0 or
// the result does not fit 32 bits.
int32_t mulDiv(int32_t a, int32_t b, int32_t c);

} // namespace tavo
