#include "JpegDecoder.h"

#include "imaging/JpegPhotoMarkers.h"
#include "imaging/SrgbTransform.h"
#include "spi/common/UprightDib.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace tavo::spi {
namespace {

// A progressive file may hold any number of scans, each a full pass over the
// picture; beyond this many the data is taken as hostile.
constexpr int kMaxScans = 1000;

// libjpeg reports fatal errors by calling error_exit, which must not return.
// It jumps back into the one function below that called setjmp; only libjpeg's
// own C frames lie in between.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

struct Session {
    jpeg_decompress_struct cinfo;
    ErrorManager error;
    jpeg_progress_mgr monitor;
};

// What the decode keeps beside libjpeg's state. It lives outside the function
// that calls setjmp, so that a jump out of libjpeg skips no destructor.
struct Upright {
    std::vector<std::uint8_t> profile;
    std::optional<SrgbTransform> toSrgb;
    std::optional<UprightRows> rows;
};

[[noreturn]] void onError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings (a truncated file, corrupt entropy data) are dropped: the picture
// is decoded as far as it goes.
void onMessage(j_common_ptr, int) {}

void onProgress(j_common_ptr cinfo)
{
    auto* decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (decompress->input_scan_number > kMaxScans) {
        cinfo->err->msg_code = JERR_NOTIMPL;
        cinfo->err->error_exit(cinfo);
    }
}

std::int32_t codeOf(const Session& s)
{
    switch (s.error.pub.msg_code) {
    case JERR_OUT_OF_MEMORY:
    case JERR_NO_BACKING_STORE:
    case JERR_TFILE_CREATE:
    case JERR_WIDTH_OVERFLOW:
        return SPI_NO_MEMORY;
    case JERR_NO_SOI:
        return SPI_NOT_SUPPORT;
    default:
        return SPI_OUT_OF_ORDER;
    }
}

std::uint16_t perInch(const jpeg_decompress_struct& cinfo, UINT16 density)
{
    if (cinfo.density_unit == 1)
        return density;
    if (cinfo.density_unit == 2)
        return std::uint16_t(density * 254u / 100u > 0xFFFF ? 0xFFFF : density * 254u / 100u);
    return 0;
}

void bgrFromCmyk(const JSAMPLE* src, std::uint8_t* dst, JDIMENSION width, bool adobe)
{
    // Adobe's files store the inks inverted: 255 means none.
    for (JDIMENSION x = 0; x < width; ++x, src += 4, dst += 3) {
        unsigned c = src[0], m = src[1], y = src[2], k = src[3];
        if (!adobe) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        dst[0] = std::uint8_t((y * k + 127) / 255);
        dst[1] = std::uint8_t((m * k + 127) / 255);
        dst[2] = std::uint8_t((c * k + 127) / 255);
    }
}

void prepare(Session& s, const std::uint8_t* data, std::size_t size)
{
    jpeg_create_decompress(&s.cinfo);
    s.cinfo.mem->max_memory_to_use = long(kMaxImageBytes);
    s.monitor.progress_monitor = onProgress;
    s.cinfo.progress = &s.monitor;
    jpeg_mem_src(&s.cinfo, data, static_cast<unsigned long>(size));
    jpeg::keepPhotoMarkers(s.cinfo);
    if (jpeg_read_header(&s.cinfo, TRUE) != JPEG_HEADER_OK)
        ERREXIT(&s.cinfo, JERR_NO_IMAGE);
    switch (s.cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
        s.cinfo.out_color_space = JCS_GRAYSCALE;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        s.cinfo.out_color_space = JCS_CMYK;
        break;
    default:
        s.cinfo.out_color_space = JCS_EXT_BGR;
        break;
    }
}

// Everything that may end in error_exit runs here, after setjmp. The locals
// are not used after a jump, so none needs to be volatile.
std::int32_t run(Session& s, Upright& upright, const std::uint8_t* data, std::size_t size, JpegPictureInfo* info,
                 DibAllocator* out, const Progress* progress)
{
    if (setjmp(s.error.jump))
        return codeOf(s);
    prepare(s, data, size);
    DibLayout layout;
    const bool grey = s.cinfo.out_color_space == JCS_GRAYSCALE;
    layout.bitCount = grey ? 8 : 24;
    layout.colors = grey ? 256 : 0;
    const int orientation = jpeg::photoOrientation(s.cinfo);
    if (std::int32_t result = planUprightDib(orientation, s.cinfo.image_width, s.cinfo.image_height, layout))
        return result;
    if (info != nullptr) {
        info->width = layout.width;
        info->height = layout.height;
        info->xDensity = perInch(s.cinfo, swapsSides(orientation) ? s.cinfo.Y_density : s.cinfo.X_density);
        info->yDensity = perInch(s.cinfo, swapsSides(orientation) ? s.cinfo.X_density : s.cinfo.Y_density);
        info->bitCount = std::int16_t(layout.bitCount);
        return SPI_ALL_RIGHT;
    }

    if (s.cinfo.density_unit == 1 || s.cinfo.density_unit == 2) {
        const unsigned per = s.cinfo.density_unit == 1 ? 3937 : 10000; // per metre, x100
        layout.xPelsPerMeter = std::int32_t(s.cinfo.X_density * per / 100);
        layout.yPelsPerMeter = std::int32_t(s.cinfo.Y_density * per / 100);
        if (swapsSides(orientation))
            std::swap(layout.xPelsPerMeter, layout.yPelsPerMeter);
    }
    auto* header = static_cast<std::uint8_t*>(out->allocateInfo(layout.infoBytes()));
    auto* bits = static_cast<std::uint8_t*>(out->allocateBits(layout.imageBytes));
    if (header == nullptr || bits == nullptr)
        return SPI_NO_MEMORY;
    writeInfoHeader(layout, header);
    for (unsigned i = 0; i < layout.colors; ++i) {
        std::uint8_t* entry = header + 40 + 4 * i;
        entry[0] = entry[1] = entry[2] = std::uint8_t(i);
        entry[3] = 0;
    }

    try {
        upright.rows.emplace(orientation, layout, bits, grey ? 1 : 3);
        if (!grey && s.cinfo.out_color_space != JCS_CMYK)
            upright.profile = jpeg::photoIccProfile(s.cinfo);
        upright.toSrgb.emplace(upright.profile.data(), upright.profile.size(), PixelOrder::Bgr);
    } catch (const std::bad_alloc&) {
        return SPI_NO_MEMORY;
    }
    UprightRows& rows = *upright.rows;
    const SrgbTransform& toSrgb = *upright.toSrgb;

    const std::int32_t height = rows.storedHeight();
    if (progress->report(0, height))
        return SPI_ABORT;
    jpeg_start_decompress(&s.cinfo);
    if (s.cinfo.output_width != JDIMENSION(rows.storedWidth()) || s.cinfo.output_height != JDIMENSION(height))
        ERREXIT(&s.cinfo, JERR_NOTIMPL);
    const bool cmyk = s.cinfo.out_color_space == JCS_CMYK;
    JSAMPARRAY cmykRow = cmyk ? s.cinfo.mem->alloc_sarray(reinterpret_cast<j_common_ptr>(&s.cinfo),
                                                          JPOOL_IMAGE, s.cinfo.output_width * 4, 1)
                              : nullptr;
    const std::size_t used = std::size_t(s.cinfo.output_width) * (grey ? 1 : 3);
    const std::size_t stride = (used + 3) & ~std::size_t(3);
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
        const auto y = std::int32_t(s.cinfo.output_scanline);
        std::uint8_t* row = rows.row(y);
        JSAMPROW target = cmyk ? cmykRow[0] : row;
        if (jpeg_read_scanlines(&s.cinfo, &target, 1) != 1)
            ERREXIT(&s.cinfo, JERR_INPUT_EMPTY);
        if (cmyk)
            bgrFromCmyk(cmykRow[0], row, s.cinfo.output_width, s.cinfo.saw_Adobe_marker);
        toSrgb.apply(row, s.cinfo.output_width);
        std::memset(row + used, 0, stride - used);
        rows.finish(y, 1);
        const std::int32_t count = std::int32_t(s.cinfo.output_scanline);
        if (count < height && progress->report(count, height))
            return SPI_ABORT;
    }
    rows.complete();
    if (progress->report(height, height))
        return SPI_ABORT;
    return SPI_ALL_RIGHT;
}

std::int32_t runSession(const std::uint8_t* data, std::size_t size, JpegPictureInfo* info,
                        DibAllocator* out, const Progress* progress)
{
    if (!hasJpegSignature(data, size))
        return SPI_NOT_SUPPORT;
    Session s;
    std::memset(&s, 0, sizeof s);
    s.cinfo.err = jpeg_std_error(&s.error.pub);
    s.error.pub.error_exit = onError;
    s.error.pub.emit_message = onMessage;
    Upright upright;
    const std::int32_t result = run(s, upright, data, size, info, out, progress);
    jpeg_destroy_decompress(&s.cinfo);
    return result;
}

} // namespace

bool hasJpegSignature(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return data != nullptr && size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

std::int32_t readJpegInfo(const std::uint8_t* data, std::size_t size, JpegPictureInfo& info)
{
    return runSession(data, size, &info, nullptr, nullptr);
}

std::int32_t decodeJpeg(const std::uint8_t* data, std::size_t size, DibAllocator& out,
                        const Progress& progress)
{
    return runSession(data, size, nullptr, &out, &progress);
}

} // namespace tavo::spi
