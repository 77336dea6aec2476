#include "PngDecoder.h"

#include "imaging/ExifOrientation.h"
#include "imaging/SrgbTransform.h"
#include "spi/common/UprightDib.h"

#include <spng.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <utility>

namespace tavo::spi {
namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Ancillary chunks (texts, profiles) are held in memory while decoding; the
// bound keeps a small hostile file from asking for gigabytes.
constexpr std::size_t kChunkLimit = std::size_t(64) << 20;

std::int32_t fromSpng(int error)
{
    switch (error) {
    case SPNG_OK:
        return SPI_ALL_RIGHT;
    case SPNG_ESIGNATURE:
        return SPI_NOT_SUPPORT;
    case SPNG_EMEM:
    case SPNG_EOVERFLOW:
    case SPNG_EUSER_WIDTH:
    case SPNG_EUSER_HEIGHT:
    case SPNG_ECHUNK_LIMITS:
        return SPI_NO_MEMORY;
    default:
        return SPI_OUT_OF_ORDER;
    }
}

// How a decoded row becomes a bitmap row.
enum class RowKind {
    Rgb8,   // SPNG_FMT_RGB8 to BGR
    Rgba8,  // SPNG_FMT_RGBA8 composed to BGR
    Rgba16, // SPNG_FMT_RGBA16 composed and reduced to BGR
    Samples, // palette indices or grey samples of 1 to 8 bits, unpacked to bytes
    Grey16, // 16-bit grey reduced to an 8-bit index into a grey ramp
};

struct Plan {
    RowKind kind = RowKind::Rgb8;
    int format = SPNG_FMT_RGB8;
    int flags = 0;
    unsigned sampleBits = 8;
    bool interlaced = false;
    DibLayout layout;
    std::uint8_t palette[256][4] = {}; // blue, green, red, 0
};

void setEntry(std::uint8_t* entry, unsigned red, unsigned green, unsigned blue)
{
    entry[0] = std::uint8_t(blue);
    entry[1] = std::uint8_t(green);
    entry[2] = std::uint8_t(red);
    entry[3] = 0;
}

std::uint16_t densityPerInch(std::uint32_t perMeter)
{
    const std::uint64_t dpi = (std::uint64_t(perMeter) * 254 + 5000) / 10000;
    return dpi > 0xFFFF ? 0xFFFF : std::uint16_t(dpi);
}

std::int32_t clampPerMeter(std::uint32_t perMeter)
{
    return perMeter > 0x7FFFFFFF ? 0x7FFFFFFF : std::int32_t(perMeter);
}

class Reader {
public:
    Reader() : ctx_(spng_ctx_new(0)) {}
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    ~Reader() { spng_ctx_free(ctx_); }

    std::int32_t open(const std::uint8_t* data, std::size_t size);
    std::int32_t makePlan(Plan& plan);
    std::int32_t decode(Plan& plan, DibAllocator& out, const Progress& progress);

    spng_ctx* ctx_;
    std::size_t size_ = 0;
    spng_ihdr ihdr_{};
    spng_phys phys_{};
    bool hasPhys_ = false;
    // From the eXIf and iCCP chunks; the profile stays owned by libspng.
    int orientation_ = 1;
    const std::uint8_t* profile_ = nullptr;
    std::size_t profileSize_ = 0;
};

std::int32_t Reader::open(const std::uint8_t* data, std::size_t size)
{
    if (!hasPngSignature(data, size))
        return SPI_NOT_SUPPORT;
    if (ctx_ == nullptr)
        return SPI_NO_MEMORY;
    size_ = size;
    spng_set_image_limits(ctx_, kMaxDimension, kMaxDimension);
    spng_set_chunk_limits(ctx_, kChunkLimit, kChunkLimit);
    // A damaged ancillary chunk is dropped; a damaged critical one fails.
    spng_set_crc_action(ctx_, SPNG_CRC_ERROR, SPNG_CRC_DISCARD);
    if (int error = spng_set_png_buffer(ctx_, data, size))
        return fromSpng(error);
    if (int error = spng_get_ihdr(ctx_, &ihdr_))
        return fromSpng(error);
    // Asking for a chunk reads all chunks before the image data: an error
    // other than "no such chunk" is damage in them.
    const int phys = spng_get_phys(ctx_, &phys_);
    if (phys != SPNG_OK && phys != SPNG_ECHUNKAVAIL)
        return fromSpng(phys);
    hasPhys_ = phys == SPNG_OK;
    spng_exif exif{};
    if (spng_get_exif(ctx_, &exif) == SPNG_OK)
        orientation_ = exifOrientation(reinterpret_cast<const std::uint8_t*>(exif.data), exif.length);
    spng_iccp iccp{};
    if (spng_get_iccp(ctx_, &iccp) == SPNG_OK) {
        profile_ = reinterpret_cast<const std::uint8_t*>(iccp.profile);
        profileSize_ = iccp.profile_len;
    }
    return SPI_ALL_RIGHT;
}

std::int32_t Reader::makePlan(Plan& plan)
{
    spng_trns trns{};
    const int trnsError = spng_get_trns(ctx_, &trns);
    if (trnsError != SPNG_OK && trnsError != SPNG_ECHUNKAVAIL)
        return fromSpng(trnsError);
    const bool hasTrns = trnsError == SPNG_OK;
    const unsigned depth = ihdr_.bit_depth;
    plan.interlaced = ihdr_.interlace_method != SPNG_INTERLACE_NONE;
    plan.layout.bitCount = 24;
    plan.layout.colors = 0;

    switch (ihdr_.color_type) {
    case SPNG_COLOR_TYPE_INDEXED: {
        spng_plte plte{};
        if (int error = spng_get_plte(ctx_, &plte))
            return fromSpng(error);
        // A palette entry with partial alpha is composed once here, so the
        // picture keeps its 8-bit rows.
        for (std::uint32_t i = 0; i < plte.n_entries && i < 256; ++i) {
            const auto& e = plte.entries[i];
            unsigned alpha = hasTrns && i < trns.n_type3_entries ? trns.type3_alpha[i] : 255;
            setEntry(plan.palette[i], compose8(e.red, alpha, kBackground.red),
                     compose8(e.green, alpha, kBackground.green),
                     compose8(e.blue, alpha, kBackground.blue));
        }
        plan.kind = RowKind::Samples;
        plan.format = SPNG_FMT_PNG;
        plan.sampleBits = depth;
        plan.layout.bitCount = 8;
        plan.layout.colors = 256;
        break;
    }
    case SPNG_COLOR_TYPE_GRAYSCALE:
        if (depth == 16 && hasTrns) {
            plan.kind = RowKind::Rgba16;
            plan.format = SPNG_FMT_RGBA16;
            plan.flags = SPNG_DECODE_TRNS;
            break;
        }
        if (depth == 16) {
            plan.kind = RowKind::Grey16;
            plan.format = SPNG_FMT_PNG;
            for (unsigned i = 0; i < 256; ++i)
                setEntry(plan.palette[i], i, i, i);
        } else {
            // The raw samples index a ramp of 2^depth greys; the transparent
            // grey, if any, becomes the background.
            const unsigned levels = 1u << depth;
            for (unsigned i = 0; i < levels; ++i) {
                const unsigned grey = i * 255 / (levels - 1);
                setEntry(plan.palette[i], grey, grey, grey);
            }
            if (hasTrns && trns.gray < levels)
                setEntry(plan.palette[trns.gray], kBackground.red, kBackground.green,
                         kBackground.blue);
            plan.kind = RowKind::Samples;
            plan.format = SPNG_FMT_PNG;
            plan.sampleBits = depth;
        }
        plan.layout.bitCount = 8;
        plan.layout.colors = 256;
        break;
    case SPNG_COLOR_TYPE_TRUECOLOR:
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA: {
        const bool alpha = ihdr_.color_type != SPNG_COLOR_TYPE_TRUECOLOR || hasTrns;
        if (depth == 16) {
            plan.kind = RowKind::Rgba16;
            plan.format = SPNG_FMT_RGBA16;
            plan.flags = SPNG_DECODE_TRNS;
        } else if (alpha) {
            plan.kind = RowKind::Rgba8;
            plan.format = SPNG_FMT_RGBA8;
            plan.flags = SPNG_DECODE_TRNS;
        } else {
            plan.kind = RowKind::Rgb8;
            plan.format = SPNG_FMT_RGB8;
        }
        break;
    }
    default:
        return SPI_OUT_OF_ORDER;
    }
    if (hasPhys_ && phys_.unit_specifier == 1) {
        plan.layout.xPelsPerMeter = clampPerMeter(phys_.ppu_x);
        plan.layout.yPelsPerMeter = clampPerMeter(phys_.ppu_y);
    }
    return planDib(ihdr_.width, ihdr_.height, plan.layout);
}

#if defined(__x86_64__) || defined(__i386__)
// Five pixels at a time while 16 bytes remain; returns the pixels done. Each
// store rewrites byte 15 as it was, the first byte of the next group.
__attribute__((target("ssse3"))) std::size_t rgbToBgrWide(const std::uint8_t* src, std::uint8_t* dst,
                                                          std::size_t width)
{
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    std::size_t x = 0;
    for (; 3 * x + 16 <= 3 * width; x += 5) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * x), _mm_shuffle_epi8(pixels, order));
    }
    return x;
}
#endif

// RGB to BGR; src may be dst, since every pixel is read before it is written.
void rgbToBgr(const std::uint8_t* src, std::uint8_t* dst, std::size_t width)
{
    std::size_t x = 0;
#if defined(__x86_64__) || defined(__i386__)
    static const bool wide = __builtin_cpu_supports("ssse3");
    if (wide)
        x = rgbToBgrWide(src, dst, width);
#endif
    for (src += 3 * x, dst += 3 * x; x < width; ++x, src += 3, dst += 3) {
        const std::uint8_t red = src[0], blue = src[2];
        dst[0] = blue;
        dst[1] = src[1];
        dst[2] = red;
    }
}

void convertRow(const Plan& plan, const std::uint8_t* src, std::uint8_t* dst)
{
    const std::size_t width = std::size_t(plan.layout.width);
    std::uint8_t* const start = dst;
    switch (plan.kind) {
    case RowKind::Rgb8:
        rgbToBgr(src, dst, width);
        dst += 3 * width;
        break;
    case RowKind::Rgba8:
        for (std::size_t x = 0; x < width; ++x, src += 4, dst += 3) {
            const unsigned a = src[3];
            dst[0] = compose8(src[2], a, kBackground.blue);
            dst[1] = compose8(src[1], a, kBackground.green);
            dst[2] = compose8(src[0], a, kBackground.red);
        }
        break;
    case RowKind::Rgba16:
        for (std::size_t x = 0; x < width; ++x, src += 8, dst += 3) {
            std::uint16_t c[4];
            std::memcpy(c, src, sizeof c);
            const std::uint64_t a = c[3];
            const std::uint8_t bg[3] = {kBackground.red, kBackground.green, kBackground.blue};
            for (int i = 0; i < 3; ++i) {
                // Composed at 16 bits, then rounded to 8 (65535 / 255 = 257).
                const std::uint64_t v = (c[i] * a + bg[i] * 257u * (65535 - a) + 32767) / 65535;
                dst[2 - i] = std::uint8_t((v * 255 + 32767) / 65535);
            }
        }
        break;
    case RowKind::Samples:
        if (plan.sampleBits == 8) {
            if (src != dst)
                std::memcpy(dst, src, width);
        } else {
            const unsigned bits = plan.sampleBits;
            const unsigned mask = (1u << bits) - 1;
            for (std::size_t x = 0; x < width; ++x) {
                const std::size_t bit = x * bits;
                dst[x] = std::uint8_t((src[bit / 8] >> (8 - bits - bit % 8)) & mask);
            }
        }
        dst += width;
        break;
    case RowKind::Grey16:
        for (std::size_t x = 0; x < width; ++x, src += 2) {
            std::uint16_t v;
            std::memcpy(&v, src, 2);
            *dst++ = std::uint8_t((v * 255u + 32767) / 65535);
        }
        break;
    }
    std::memset(dst, 0, plan.layout.stride - std::size_t(dst - start));
}

constexpr unsigned kPassX0[7] = {0, 4, 0, 2, 0, 1, 0}, kPassDx[7] = {8, 8, 4, 4, 2, 2, 1};
constexpr unsigned kPassY0[7] = {0, 0, 4, 0, 2, 0, 1}, kPassDy[7] = {8, 8, 8, 4, 4, 2, 2};

// Rows of all seven Adam7 passes together; passes without pixels are skipped.
std::uint64_t interlacedRows(std::uint32_t width, std::uint32_t height)
{
    std::uint64_t rows = 0;
    for (int p = 0; p < 7; ++p) {
        if (width > kPassX0[p] && height > kPassY0[p])
            rows += (height - kPassY0[p] + kPassDy[p] - 1) / kPassDy[p];
    }
    return rows;
}

// Puts the packed samples of one scanline of an Adam7 pass at their places in
// a picture of one byte a pixel.
void spreadPass(const Plan& plan, const spng_row_info& row, const std::uint8_t* src, std::uint8_t* picture)
{
    if (row.pass < 0 || row.pass > 6)
        return;
    const unsigned p = unsigned(row.pass);
    const std::uint64_t y = kPassY0[p] + std::uint64_t(row.scanline_idx) * kPassDy[p];
    const std::uint32_t width = std::uint32_t(plan.layout.width);
    if (y >= std::uint64_t(plan.layout.height) || width <= kPassX0[p])
        return;
    const unsigned bits = plan.sampleBits, mask = (1u << bits) - 1;
    std::uint8_t* line = picture + y * width;
    for (std::uint32_t x = kPassX0[p], j = 0; x < width; x += kPassDx[p], ++j) {
        const std::size_t bit = std::size_t(j) * bits;
        line[x] = std::uint8_t((src[bit / 8] >> (8 - bits - bit % 8)) & mask);
    }
}

// Deflate expands at most 1032-fold, so data of this size cannot hold more
// filtered rows than this; the check spares a tiny hostile file a large allocation.
bool mayHoldRows(const spng_ihdr& ihdr, std::size_t size)
{
    static const unsigned channels[7] = {1, 0, 3, 1, 2, 0, 4};
    const unsigned bits = channels[ihdr.color_type < 7 ? ihdr.color_type : 1] * ihdr.bit_depth;
    const std::uint64_t filtered = (std::uint64_t(ihdr.width) * bits + 7) / 8 + 1;
    return filtered * ihdr.height <= std::uint64_t(size) * 1040 + 65536;
}

std::int32_t Reader::decode(Plan& plan, DibAllocator& out, const Progress& progress)
{
    DibLayout& layout = plan.layout;
    if (!mayHoldRows(ihdr_, size_))
        return SPI_OUT_OF_ORDER;
    std::size_t decodedBytes = 0;
    if (int error = spng_decoded_image_size(ctx_, plan.format, &decodedBytes))
        return fromSpng(error);
    const std::size_t rowBytes = decodedBytes / std::size_t(layout.height);
    // An interlaced picture arrives in passes, so it is collected whole first.
    // libspng's row deinterlacing of packed samples is unreliable, so those
    // files are read by scanline and spread out here, one byte a pixel.
    const bool spread = plan.interlaced && plan.kind == RowKind::Samples;
    const std::size_t pitch = spread ? std::size_t(layout.width) : rowBytes;
    // Rows that keep their size (RGB, bytes of palette indices or greys) are
    // decoded straight into their place in the bitmap and converted there
    // while they are in cache; the others pass through a row buffer.
    const bool inPlace = !plan.interlaced &&
        (plan.kind == RowKind::Rgb8 || (plan.kind == RowKind::Samples && plan.sampleBits == 8));
    const std::size_t bufferBytes = plan.interlaced ? pitch * std::size_t(layout.height) : inPlace ? 0 : rowBytes;
    if (bufferBytes > kMaxImageBytes * 3)
        return SPI_NO_MEMORY;

    // The bitmap is the picture upright; the rows are converted as stored.
    DibLayout upright = layout;
    if (std::int32_t result = planUprightDib(orientation_, ihdr_.width, ihdr_.height, upright))
        return result;
    if (swapsSides(orientation_))
        std::swap(upright.xPelsPerMeter, upright.yPelsPerMeter);
    // Colour pictures with a profile are converted to sRGB: the decoded rows
    // before transparency is composed, the palette, or (16-bit samples) the
    // reduced rows.
    const bool colour = ihdr_.color_type == SPNG_COLOR_TYPE_INDEXED || ihdr_.color_type == SPNG_COLOR_TYPE_TRUECOLOR ||
                        ihdr_.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    const PixelOrder order = plan.kind == RowKind::Rgb8 ? PixelOrder::Rgb
        : plan.kind == RowKind::Rgba8                   ? PixelOrder::Rgba
        : plan.kind == RowKind::Rgba16                  ? PixelOrder::Bgr
                                                        : PixelOrder::Bgra;
    const SrgbTransform toSrgb(colour ? profile_ : nullptr, colour ? profileSize_ : 0, order);
    if (plan.kind == RowKind::Samples)
        toSrgb.apply(&plan.palette[0][0], 256);
    const bool convertDecoded = toSrgb.active() && (plan.kind == RowKind::Rgb8 || plan.kind == RowKind::Rgba8);
    const bool convertReduced = toSrgb.active() && plan.kind == RowKind::Rgba16;

    auto* info = static_cast<std::uint8_t*>(out.allocateInfo(upright.infoBytes()));
    auto* bits = static_cast<std::uint8_t*>(out.allocateBits(upright.imageBytes));
    std::unique_ptr<std::uint8_t[]> buffer(bufferBytes != 0 ? new (std::nothrow) std::uint8_t[bufferBytes] : nullptr);
    if (info == nullptr || bits == nullptr || (bufferBytes != 0 && !buffer))
        return SPI_NO_MEMORY;
    writeInfoHeader(upright, info);
    std::memcpy(info + 40, plan.palette, 4 * std::size_t(layout.colors));
    std::optional<UprightRows> rows;
    try {
        rows.emplace(orientation_, upright, bits, layout.bitCount / 8);
    } catch (const std::bad_alloc&) {
        return SPI_NO_MEMORY;
    }
    auto putRow = [&](std::uint8_t* decoded, std::int32_t y) {
        if (convertDecoded)
            toSrgb.apply(decoded, std::size_t(layout.width));
        std::uint8_t* target = rows->row(y);
        convertRow(plan, decoded, target);
        if (convertReduced)
            toSrgb.apply(target, std::size_t(layout.width));
        rows->finish(y, 1);
    };

    const std::int32_t height = layout.height;
    if (progress.report(0, height))
        return SPI_ABORT;
    if (int error = spng_decode_image(ctx_, nullptr, 0, plan.format, plan.flags | SPNG_DECODE_PROGRESSIVE))
        return fromSpng(error);

    const std::uint64_t passRows = plan.interlaced ? interlacedRows(ihdr_.width, ihdr_.height) : 0;
    std::unique_ptr<std::uint8_t[]> scanline;
    if (spread) {
        scanline.reset(new (std::nothrow) std::uint8_t[rowBytes]);
        if (!scanline)
            return SPI_NO_MEMORY;
    }
    std::uint64_t done = 0;
    int error = SPNG_OK;
    do {
        spng_row_info row{};
        if ((error = spng_get_row_info(ctx_, &row)) != SPNG_OK)
            break;
        if (spread) {
            error = spng_decode_scanline(ctx_, scanline.get(), rowBytes);
            if (error == SPNG_OK || error == SPNG_EOI)
                spreadPass(plan, row, scanline.get(), buffer.get());
        } else {
            if (row.row_num >= std::uint32_t(height))
                return SPI_OUT_OF_ORDER;
            std::uint8_t* target = plan.interlaced ? buffer.get() + row.row_num * rowBytes
                : inPlace                          ? rows->row(std::int32_t(row.row_num))
                                                   : buffer.get();
            error = spng_decode_row(ctx_, target, rowBytes);
            if (!plan.interlaced && (error == SPNG_OK || error == SPNG_EOI))
                putRow(target, std::int32_t(row.row_num));
        }
        if (error != SPNG_OK && error != SPNG_EOI)
            break;
        ++done;
        const std::int32_t count = plan.interlaced ? std::int32_t(done * std::uint64_t(height) / (passRows + 1))
                                                   : std::int32_t(done);
        if (count < height && progress.report(count, height))
            return SPI_ABORT;
    } while (error == SPNG_OK);
    if (error != SPNG_EOI)
        return fromSpng(error);
    // Reading on to the end checks the last image chunk's checksum. A file cut
    // after its image data, or missing its end chunk, still gives the picture.
    error = spng_decode_chunks(ctx_);
    if (error == SPNG_ECHUNK_CRC)
        return SPI_OUT_OF_ORDER;

    if (plan.interlaced) {
        if (spread)
            plan.sampleBits = 8;
        for (std::int32_t y = 0; y < height; ++y)
            putRow(buffer.get() + std::size_t(y) * pitch, y);
    }
    rows->complete();
    if (progress.report(height, height))
        return SPI_ABORT;
    return SPI_ALL_RIGHT;
}

} // namespace

bool hasPngSignature(const void* data, std::size_t size)
{
    return data != nullptr && size >= sizeof kSignature
        && std::memcmp(data, kSignature, sizeof kSignature) == 0;
}

std::int32_t readPngInfo(const std::uint8_t* data, std::size_t size, PngPictureInfo& info)
{
    Reader reader;
    Plan plan;
    if (std::int32_t result = reader.open(data, size))
        return result;
    if (std::int32_t result = reader.makePlan(plan))
        return result;
    const bool swapped = swapsSides(reader.orientation_);
    info.width = swapped ? plan.layout.height : plan.layout.width;
    info.height = swapped ? plan.layout.width : plan.layout.height;
    info.bitCount = std::int16_t(plan.layout.bitCount);
    if (reader.hasPhys_ && reader.phys_.unit_specifier == 1) {
        info.xDensity = densityPerInch(swapped ? reader.phys_.ppu_y : reader.phys_.ppu_x);
        info.yDensity = densityPerInch(swapped ? reader.phys_.ppu_x : reader.phys_.ppu_y);
    }
    return SPI_ALL_RIGHT;
}

std::int32_t decodePng(const std::uint8_t* data, std::size_t size, DibAllocator& out,
                       const Progress& progress)
{
    Reader reader;
    Plan plan;
    if (std::int32_t result = reader.open(data, size))
        return result;
    if (std::int32_t result = reader.makePlan(plan))
        return result;
    return reader.decode(plan, out, progress);
}

} // namespace tavo::spi
