#include "TiffDecoder.h"

#include "imaging/SrgbTransform.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace tavo::spi {
namespace {

// libtiff reads the picture through these, straight from the memory image.
struct Source {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};

tmsize_t readSource(thandle_t handle, void* into, tmsize_t count)
{
    auto* source = static_cast<Source*>(handle);
    if (count < 0 || source->at > source->size)
        return 0;
    const std::size_t n = std::min(std::size_t(count), source->size - source->at);
    std::memcpy(into, source->data + source->at, n);
    source->at += n;
    return tmsize_t(n);
}

tmsize_t refuseWrite(thandle_t, void*, tmsize_t)
{
    return 0;
}

toff_t seekSource(thandle_t handle, toff_t offset, int whence)
{
    auto* source = static_cast<Source*>(handle);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR)
        base = source->at;
    else if (whence == SEEK_END)
        base = source->size;
    const std::uint64_t target = base + offset;
    if (target < base || target > source->size)
        return toff_t(-1);
    source->at = std::size_t(target);
    return target;
}

int closeSource(thandle_t)
{
    return 0;
}

toff_t sizeOfSource(thandle_t handle)
{
    return static_cast<Source*>(handle)->size;
}

int mapSource(thandle_t handle, void** base, toff_t* size)
{
    auto* source = static_cast<Source*>(handle);
    *base = const_cast<std::uint8_t*>(source->data);
    *size = source->size;
    return 1;
}

void unmapSource(thandle_t, void*, toff_t) {}

// libtiff's messages would go to the host's standard error; a plug-in keeps quiet.
int quiet(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

bool transposed(unsigned orientation)
{
    return orientation >= ORIENTATION_LEFTTOP && orientation <= ORIENTATION_LEFTBOT;
}

std::uint16_t toDpi(float perUnit, std::uint16_t unit)
{
    const double dpi = unit == RESUNIT_CENTIMETER ? perUnit * 2.54 : perUnit;
    if (!(dpi > 0))
        return 0;
    return dpi > 65535 ? 65535 : std::uint16_t(dpi + 0.5);
}

std::int32_t toPerMeter(float perUnit, std::uint16_t unit)
{
    const double perMeter = unit == RESUNIT_CENTIMETER ? perUnit * 100.0 : perUnit / 0.0254;
    if (!(perMeter > 0))
        return 0;
    return perMeter > 0x7FFFFFFF ? 0x7FFFFFFF : std::int32_t(perMeter + 0.5);
}

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : source_{data, size} {}
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    ~Reader()
    {
        if (begun_)
            TIFFRGBAImageEnd(&image_);
        if (tiff_ != nullptr)
            TIFFClose(tiff_);
    }

    // Opens the first page and plans the bitmap as it is shown.
    std::int32_t open();
    std::int32_t decode(DibAllocator& out, const Progress& progress);

    DibLayout layout;
    std::uint16_t xDpi = 0, yDpi = 0;

private:
    void putBand(const std::uint32_t* raster, std::uint32_t firstRow, std::uint32_t rows, std::uint8_t* bits) const;

    Source source_;
    TIFF* tiff_ = nullptr;
    TIFFRGBAImage image_{};
    bool begun_ = false;
    unsigned orientation_ = ORIENTATION_TOPLEFT;
    std::uint32_t width_ = 0, height_ = 0; // as stored
};

std::int32_t Reader::open()
{
    if (!hasTiffSignature(source_.data, source_.size))
        return SPI_NOT_SUPPORT;
    std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
    if (!options)
        return SPI_NO_MEMORY;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), quiet, nullptr);
    // No single buffer (a strip, a tile, a tag's values) beyond the bitmap's own limit.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t(kMaxImageBytes));
    tiff_ = TIFFClientOpenExt("picture", "r", &source_, readSource, refuseWrite, seekSource, closeSource,
                              sizeOfSource, mapSource, unmapSource, options.get());
    if (tiff_ == nullptr)
        return SPI_OUT_OF_ORDER;
    char message[1024] = {};
    if (!TIFFGetField(tiff_, TIFFTAG_IMAGEWIDTH, &width_) || !TIFFGetField(tiff_, TIFFTAG_IMAGELENGTH, &height_))
        return SPI_OUT_OF_ORDER;
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_ORIENTATION, &orientation);
    orientation_ = orientation >= ORIENTATION_TOPLEFT && orientation <= ORIENTATION_LEFTBOT ? orientation
                                                                                           : ORIENTATION_TOPLEFT;
    const bool swap = transposed(orientation_);
    float xResolution = 0, yResolution = 0;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (unit != RESUNIT_NONE && TIFFGetField(tiff_, TIFFTAG_XRESOLUTION, &xResolution)
        && TIFFGetField(tiff_, TIFFTAG_YRESOLUTION, &yResolution)) {
        xDpi = toDpi(swap ? yResolution : xResolution, unit);
        yDpi = toDpi(swap ? xResolution : yResolution, unit);
        layout.xPelsPerMeter = toPerMeter(swap ? yResolution : xResolution, unit);
        layout.yPelsPerMeter = toPerMeter(swap ? xResolution : yResolution, unit);
    }
    layout.bitCount = 24;
    if (std::int32_t result = planDib(swap ? height_ : width_, swap ? width_ : height_, layout))
        return result;
    // A page libtiff cannot turn into colours (floating-point samples, an
    // unknown colour model) is a format this plug-in does not read.
    if (!TIFFRGBAImageOK(tiff_, message))
        return SPI_NOT_SUPPORT;
    return SPI_ALL_RIGHT;
}

// Writes stored rows firstRow.. of the raster (R, G, B, A bytes, colours
// premultiplied by alpha) as shown into the bottom-up BGR rows.
void Reader::putBand(const std::uint32_t* raster, std::uint32_t firstRow, std::uint32_t rows, std::uint8_t* bits) const
{
    const std::size_t stride = layout.stride;
    const std::uint32_t outHeight = std::uint32_t(layout.height);
    const bool alpha = image_.alpha != 0;
    for (std::uint32_t i = 0; i < rows; ++i) {
        const std::uint32_t r = firstRow + i;
        const auto* src = reinterpret_cast<const std::uint8_t*>(raster + std::size_t(i) * width_);
        // Where stored pixel (c, r) goes: dst at column c = 0, then step per c.
        std::uint32_t x0 = 0, y0 = 0;
        std::ptrdiff_t step = 3;
        switch (orientation_) {
        case ORIENTATION_TOPRIGHT: x0 = width_ - 1, y0 = r, step = -3; break;
        case ORIENTATION_BOTRIGHT: x0 = width_ - 1, y0 = height_ - 1 - r, step = -3; break;
        case ORIENTATION_BOTLEFT: x0 = 0, y0 = height_ - 1 - r; break;
        case ORIENTATION_LEFTTOP: x0 = r, y0 = 0, step = -std::ptrdiff_t(stride); break;
        case ORIENTATION_RIGHTTOP: x0 = height_ - 1 - r, y0 = 0, step = -std::ptrdiff_t(stride); break;
        case ORIENTATION_RIGHTBOT: x0 = height_ - 1 - r, y0 = width_ - 1, step = std::ptrdiff_t(stride); break;
        case ORIENTATION_LEFTBOT: x0 = r, y0 = width_ - 1, step = std::ptrdiff_t(stride); break;
        default: x0 = 0, y0 = r; break;
        }
        std::uint8_t* dst = bits + std::size_t(outHeight - 1 - y0) * stride + 3 * std::size_t(x0);
        if (!alpha) {
            for (std::uint32_t c = 0; c < width_; ++c, src += 4, dst += step)
                dst[0] = src[2], dst[1] = src[1], dst[2] = src[0];
            continue;
        }
        for (std::uint32_t c = 0; c < width_; ++c, src += 4, dst += step) {
            const unsigned rest = 255u - src[3];
            dst[0] = std::uint8_t(std::min(255u, src[2] + (kBackground.blue * rest + 127) / 255));
            dst[1] = std::uint8_t(std::min(255u, src[1] + (kBackground.green * rest + 127) / 255));
            dst[2] = std::uint8_t(std::min(255u, src[0] + (kBackground.red * rest + 127) / 255));
        }
    }
}

std::int32_t Reader::decode(DibAllocator& out, const Progress& progress)
{
    char message[1024] = {};
    if (!TIFFRGBAImageBegin(&image_, tiff_, 1, message))
        return SPI_NOT_SUPPORT;
    begun_ = true;
    // Stored rows as they are: the orientation is applied here, transposed
    // ones included, which libtiff's own flipping does not cover.
    image_.req_orientation = image_.orientation;

    // Bands of whole strips or tiles, so that each is decoded once.
    std::uint32_t band = 0;
    if (TIFFIsTiled(tiff_))
        TIFFGetField(tiff_, TIFFTAG_TILELENGTH, &band);
    else
        TIFFGetFieldDefaulted(tiff_, TIFFTAG_ROWSPERSTRIP, &band);
    band = std::clamp(band, 1u, height_);
    if (band < 16)
        band = std::min(height_, (16 + band - 1) / band * band);
    if (std::uint64_t(band) * width_ * 4 > kMaxImageBytes)
        return SPI_NO_MEMORY;

    auto* info = static_cast<std::uint8_t*>(out.allocateInfo(layout.infoBytes()));
    auto* bits = static_cast<std::uint8_t*>(out.allocateBits(layout.imageBytes));
    std::unique_ptr<std::uint32_t[]> raster(new (std::nothrow) std::uint32_t[std::size_t(band) * width_]);
    if (info == nullptr || bits == nullptr || !raster)
        return SPI_NO_MEMORY;
    writeInfoHeader(layout, info);
    const std::size_t used = std::size_t(layout.width) * 3;
    if (used < layout.stride)
        for (std::int32_t y = 0; y < layout.height; ++y)
            std::memset(bits + std::size_t(y) * layout.stride + used, 0, layout.stride - used);

    // An embedded RGB profile converts each band to sRGB while it is in cache.
    std::uint32_t iccSize = 0;
    const void* icc = nullptr;
    if (!TIFFGetField(tiff_, TIFFTAG_ICCPROFILE, &iccSize, &icc))
        iccSize = 0, icc = nullptr;
    const SrgbTransform toSrgb(icc, iccSize, PixelOrder::Rgba);

    if (progress.report(0, std::int32_t(height_)))
        return SPI_ABORT;
    for (std::uint32_t row = 0; row < height_; row += band) {
        const std::uint32_t rows = std::min(band, height_ - row);
        image_.row_offset = int(row);
        image_.col_offset = 0;
        if (!TIFFRGBAImageGet(&image_, raster.get(), width_, rows))
            return SPI_OUT_OF_ORDER;
        toSrgb.apply(reinterpret_cast<std::uint8_t*>(raster.get()), std::size_t(rows) * width_);
        putBand(raster.get(), row, rows, bits);
        if (row + rows < height_ && progress.report(std::int32_t(row + rows), std::int32_t(height_)))
            return SPI_ABORT;
    }
    if (progress.report(std::int32_t(height_), std::int32_t(height_)))
        return SPI_ABORT;
    return SPI_ALL_RIGHT;
}

} // namespace

bool hasTiffSignature(const void* data, std::size_t size)
{
    const auto* b = static_cast<const std::uint8_t*>(data);
    if (data == nullptr || size < 4)
        return false;
    // 42 for TIFF, 43 for BigTIFF.
    return (b[0] == 'I' && b[1] == 'I' && (b[2] == 42 || b[2] == 43) && b[3] == 0)
        || (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && (b[3] == 42 || b[3] == 43));
}

std::int32_t readTiffInfo(const std::uint8_t* data, std::size_t size, TiffPictureInfo& info)
{
    Reader reader(data, size);
    if (std::int32_t result = reader.open())
        return result;
    info.width = reader.layout.width;
    info.height = reader.layout.height;
    info.xDensity = reader.xDpi;
    info.yDensity = reader.yDpi;
    info.bitCount = 24;
    return SPI_ALL_RIGHT;
}

std::int32_t decodeTiff(const std::uint8_t* data, std::size_t size, DibAllocator& out, const Progress& progress)
{
    Reader reader(data, size);
    if (std::int32_t result = reader.open())
        return result;
    return reader.decode(out, progress);
}

} // namespace tavo::spi
