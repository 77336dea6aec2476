#include "TestImages.h"

#include <spng.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <stdexcept>
#include <zlib.h>

namespace tavo::spitest {

Bytes encodePng(const PngLayout& layout)
{
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{layout.width, layout.height, std::uint8_t(layout.bitDepth), std::uint8_t(layout.colorType), 0, 0, 0};
    spng_set_ihdr(ctx, &ihdr);
    if (!layout.palette.empty()) {
        spng_plte plte{};
        plte.n_entries = std::uint32_t(layout.palette.size() / 3);
        for (std::uint32_t i = 0; i < plte.n_entries; ++i)
            plte.entries[i] = {layout.palette[3 * i], layout.palette[3 * i + 1], layout.palette[3 * i + 2], 255};
        spng_set_plte(ctx, &plte);
    }
    if (layout.trns || !layout.paletteAlpha.empty()) {
        spng_trns trns{};
        trns.gray = layout.trnsGrey;
        trns.red = layout.trnsRed;
        trns.green = layout.trnsGreen;
        trns.blue = layout.trnsBlue;
        trns.n_type3_entries = std::uint32_t(layout.paletteAlpha.size());
        std::copy(layout.paletteAlpha.begin(), layout.paletteAlpha.end(), trns.type3_alpha);
        spng_set_trns(ctx, &trns);
    }
    if (layout.pixelsPerMeter != 0) {
        spng_phys phys{layout.pixelsPerMeter, layout.pixelsPerMeter, 1};
        spng_set_phys(ctx, &phys);
    }
    Bytes pixels = layout.pixels;
    int error = spng_encode_image(ctx, pixels.data(), pixels.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    std::size_t length = 0;
    void* buffer = error ? nullptr : spng_get_png_buffer(ctx, &length, &error);
    spng_ctx_free(ctx);
    if (buffer == nullptr)
        throw std::runtime_error(std::string("spng: ") + spng_strerror(error));
    Bytes png(static_cast<std::uint8_t*>(buffer), static_cast<std::uint8_t*>(buffer) + length);
    std::free(buffer);
    return png;
}

Bytes withIhdrSize(Bytes png, std::uint32_t width, std::uint32_t height)
{
    // Signature (8), length (4), "IHDR" (4), then width and height.
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = std::uint8_t(width >> (24 - 8 * i));
        png[20 + i] = std::uint8_t(height >> (24 - 8 * i));
    }
    const uLong crc = crc32(0, png.data() + 12, 17);
    for (int i = 0; i < 4; ++i)
        png[29 + i] = std::uint8_t(crc >> (24 - 8 * i));
    return png;
}

Bytes encodeJpeg(JpegKind kind, int width, int height, const Bytes& pixels, bool progressive)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&cinfo, &buffer, &length);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    const int components = kind == JpegKind::Rgb ? 3 : kind == JpegKind::Grey ? 1 : 4;
    cinfo.input_components = components;
    cinfo.in_color_space = kind == JpegKind::Rgb ? JCS_RGB : kind == JpegKind::Grey ? JCS_GRAYSCALE : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    if (kind == JpegKind::Ycck)
        jpeg_set_colorspace(&cinfo, JCS_YCCK);
    jpeg_set_quality(&cinfo, 100, TRUE);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    cinfo.density_unit = 1;
    cinfo.X_density = 72;
    cinfo.Y_density = 144;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + std::size_t(cinfo.next_scanline) * width * components);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes jpeg(buffer, buffer + length);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return jpeg;
}

} // namespace tavo::spitest
