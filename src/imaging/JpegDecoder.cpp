#include "imaging/JpegDecoder.h"

#include "imaging/FileBytes.h"
#include "imaging/JpegPhotoMarkers.h"
#include "imaging/JpegSession.h"
#include "imaging/OrientedRows.h"
#include "imaging/RowPipeline.h"
#include "imaging/SrgbTransform.h"
#include "imaging/TurnKernels.h"
#include "platform/Errors.h"
#include "platform/PagePopulator.h"
#include "platform/PixelMemory.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <optional>
#include <utility>
#include <vector>

namespace tavo {

namespace {

std::atomic<int> screenDepth{24};

// Colours asked of libjpeg's quantiser: the 256 entries of an 8-bit palette
// less the 20 the Windows system palette reserves.
constexpr int kQuantizedColors = 236;
// Upper bound on rec_outbuf_height (libjpeg's largest is 2 for merged upsampling).
constexpr unsigned kMaxLinesPerCall = 16;
// Bands of a quarter turn kept when rows are finished on a second thread, one
// in this many of the picture's, and at least two: one is filled while
// another is placed. The first band placed touches every page of the upright
// picture, and those first faults take as long as decoding a few bands; with
// fewer bands the decoder would wait for them.
constexpr std::int32_t kPipelineBandShare = 10;
// Rows handed to the second thread at once where rows are placed in place:
// few enough to be still in the caches, enough to keep the hand-overs rare.
constexpr std::int32_t kHandOverRows = 16;
// Fewer stored rows than this are finished on the decoding thread: there is
// too little to share to pay for starting a thread.
constexpr JDIMENSION kPipelineMinRows = 128;

[[noreturn]] void raise(const jpeg::Session& session) { throw EJPEG(session.errorCode()); }

// CMYK as libjpeg gives it (also for YCCK files) to blue, green, red. Files
// with Adobe's marker store the inks inverted (255 is no ink), as Photoshop
// writes them; others store them plainly.
void cmykRowToBgr(const JSAMPLE* cmyk, std::uint8_t* bgr, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        bgr[0] = static_cast<std::uint8_t>((y * k + 127) / 255);
        bgr[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
        bgr[2] = static_cast<std::uint8_t>((c * k + 127) / 255);
    }
}

} // namespace

void setJpegScreenDepth(int bitsPerPixel) { screenDepth = bitsPerPixel; }
int jpegScreenDepth() { return screenDepth; }

TJPEGImage::TJPEGImage() : eightBitMode_(jpegScreenDepth() <= 8) {}

void TJPEGImage::loadFromFile(const std::string& path)
{
    try {
        data_ = FileBytes::read(path);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    }
    readHeader();
}

void TJPEGImage::loadFromMemory(const std::uint8_t* data, std::size_t size)
{
    try {
        data_ = FileBytes::copy(data, size);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    }
    readHeader();
}

void TJPEGImage::readHeader()
{
    bitmap_.reset();
    width_ = height_ = 0;
    if (data_.empty())
        return; // an empty file fails at decode, not here
    jpeg::Session session(data_.data(), data_.size());
    if (!session.create())
        raise(session);
    jpeg_decompress_struct& cinfo = session.info();
    if (!session.guarded([&cinfo] {
            jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
            jpeg_read_header(&cinfo, TRUE);
        }))
        raise(session);
    // libjpeg refuses sides beyond 65500, so both fit. The sizes are those of
    // the picture shown upright.
    width_ = static_cast<std::int32_t>(cinfo.image_width);
    height_ = static_cast<std::int32_t>(cinfo.image_height);
    if (swapsSides(jpeg::photoOrientation(cinfo)))
        std::swap(width_, height_);
}

const Bitmap& TJPEGImage::bitmap()
{
    if (!bitmap_) {
        // The bands of a turn and the second thread's bookkeeping are
        // memory too: lacking it is the decoder's out-of-memory error.
        try {
            bitmap_ = decode();
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory();
        }
    }
    return *bitmap_;
}

Bitmap TJPEGImage::decode() const
{
    jpeg::Session session(data_.data(), data_.size());
    if (!session.create())
        raise(session);
    jpeg_decompress_struct& cinfo = session.info();
    if (!session.guarded([&cinfo] {
            jpeg::keepPhotoMarkers(cinfo);
            jpeg_read_header(&cinfo, TRUE);
        }))
        raise(session);

    cinfo.scale_num = 1;
    cinfo.scale_denom = 1;
    cinfo.do_block_smoothing = TRUE;
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.buffered_image = FALSE;
    // Four-component files have no 8-bit path in libjpeg's quantiser; they are
    // converted to 24-bit BGR in every mode. The palette is made of one grey or
    // three colour components: files of other component counts (no colour space
    // libjpeg knows) take the BGR path, whose conversion libjpeg refuses.
    const bool cmyk = cinfo.out_color_space == JCS_CMYK;
    const bool paletteable = cinfo.out_color_space == JCS_GRAYSCALE || cinfo.out_color_space == JCS_RGB;
    const bool quantized = paletteable && (eightBitMode_ || cinfo.out_color_space == JCS_GRAYSCALE);
    if (quantized) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = kQuantizedColors;
    } else if (!cmyk) {
        // Any other colour space libjpeg cannot turn into BGR fails at start.
        cinfo.out_color_space = JCS_EXT_BGR;
    }
    if (!session.guarded([&cinfo] { jpeg_calc_output_dimensions(&cinfo); }))
        raise(session);
    // The picture is delivered upright; its size is checked against the
    // bitmap's limits before libjpeg allocates its buffers.
    const int orientation = jpeg::photoOrientation(cinfo);
    const auto storedWidth = static_cast<std::int32_t>(cinfo.output_width);
    const auto storedHeight = static_cast<std::int32_t>(cinfo.output_height);

    // Colour files with a profile are converted to sRGB: the rows as they
    // come, or the palette of the 8-bit mode. Greyscale and CMYK pictures stay
    // as stored.
    const bool colour = cinfo.out_color_components == 3 && !cmyk;
    const std::vector<std::uint8_t> profile = colour ? jpeg::photoIccProfile(cinfo) : std::vector<std::uint8_t>{};
    const SrgbTransform toSrgb(profile.data(), profile.size(), quantized ? PixelOrder::Bgra : PixelOrder::Bgr);
    const bool convert = toSrgb.active() && !quantized;
    // Colour conversion and quarter turns are done on a second thread while
    // libjpeg decodes the next rows; pictures that need neither take the
    // plain loop. For a conversion, that thread also faults in the picture's
    // pages while it waits for rows, in place of a thread of their own. A
    // turn's first band lands on every page of the upright picture, so its
    // pages are faulted in from the start, by a thread of their own. Either
    // way the whole picture is committed at once: libjpeg delivers every row,
    // a truncated file's too, so a decode that succeeds writes all of it.
    const bool turned = swapsSides(orientation);
    const bool pipelined = !cmyk && (convert || turned) && storedHeight >= static_cast<std::int32_t>(kPipelineMinRows);
    const bool filledByPipeline = pipelined && !turned;
    Bitmap bitmap(turned ? storedHeight : storedWidth, turned ? storedWidth : storedHeight, quantized ? 8 : 24,
                  RowOrder::TopDown,
                  filledByPipeline ? platform::PagePopulation::ByWriter : platform::PagePopulation::Ahead);
    if (!session.guarded([&cinfo] { jpeg_start_decompress(&cinfo); }))
        raise(session);

    if (quantized) {
        std::vector<PaletteEntry> palette(static_cast<std::size_t>(cinfo.actual_number_of_colors));
        const bool grey = cinfo.out_color_components == 1;
        for (std::size_t i = 0; i < palette.size(); ++i) {
            const JSAMPLE red = cinfo.colormap[0][i];
            palette[i] = grey ? PaletteEntry{red, red, red, 0}
                              : PaletteEntry{cinfo.colormap[2][i], cinfo.colormap[1][i], red, 0};
        }
        static_assert(sizeof(PaletteEntry) == 4);
        toSrgb.apply(reinterpret_cast<std::uint8_t*>(palette.data()), palette.size());
        bitmap.setPalette(std::move(palette));
    }

    const JDIMENSION height = cinfo.output_height;
    if (height > 0) {
        std::uint8_t* top = bitmap.mutableRow(0);
        const std::ptrdiff_t distance = bitmap.height() > 1 ? bitmap.mutableRow(1) - top
                                                            : static_cast<std::ptrdiff_t>(bitmap.stride());
        const int bytesPerPixel = quantized ? 1 : 3;
        const int bands = pipelined ? std::max(2, storedHeight / OrientedRows::kBandRows / kPipelineBandShare) : 1;
        // The bands of a pipelined turn take several megabytes: picture
        // memory, whose huge pages fault once each, not once per 4 KB.
        platform::PixelMemory bandMemory(
            pipelined ? OrientedRows::bandMemorySize(orientation, storedWidth, storedHeight, bytesPerPixel, bands) : 0);
        OrientedRows rows(orientation, storedWidth, storedHeight, bytesPerPixel, top, distance, turn::bestKernels(),
                          bands, bandMemory.size() > 0 ? bandMemory.data() : nullptr);
        const auto width = static_cast<std::size_t>(cinfo.output_width);
        platform::PageFiller pictureFiller(bitmap.mutableBits(), bitmap.byteSize());
        std::optional<RowPipeline> pipeline;
        if (pipelined) {
            pipeline.emplace(
                [&rows, &toSrgb, convert, width](std::int32_t first, std::int32_t end) {
                    if (convert) {
                        for (std::int32_t y = first; y < end; ++y)
                            toSrgb.apply(rows.row(y), width);
                    }
                    rows.place(first, end);
                },
                filledByPipeline ? RowPipeline::Idle([&pictureFiller] { return pictureFiller.step(); })
                                 : RowPipeline::Idle());
        }
        if (cmyk) {
            std::vector<JSAMPLE> scratch(static_cast<std::size_t>(cinfo.output_width) * 4);
            JSAMPLE* line = scratch.data();
            const bool inverted = cinfo.saw_Adobe_marker;
            const bool ok = session.guarded([&] {
                while (cinfo.output_scanline < height) {
                    const auto y = static_cast<std::int32_t>(cinfo.output_scanline);
                    if (jpeg_read_scanlines(&cinfo, &line, 1) == 0)
                        break;
                    cmykRowToBgr(line, rows.row(y), cinfo.output_width, inverted);
                    rows.finish(y, 1);
                }
            });
            if (!ok)
                raise(session);
        } else {
            // Several lines per call only when the rows lie top-down at a
            // positive distance that keeps every row 4-byte aligned.
            const JDIMENSION perCall = distance > 0 && distance % 4 == 0
                ? std::min<JDIMENSION>(static_cast<JDIMENSION>(cinfo.rec_outbuf_height), kMaxLinesPerCall)
                : 1;
            const bool ok = session.guarded([&] {
                JSAMPROW lines[kMaxLinesPerCall];
                std::int32_t handedOver = 0;
                while (cinfo.output_scanline < height) {
                    const auto first = static_cast<std::int32_t>(cinfo.output_scanline);
                    const auto count = std::min(perCall, static_cast<JDIMENSION>(rows.rowsAvailable(first)));
                    if (pipeline)
                        pipeline->waitFor(rows.placedBefore(first));
                    for (JDIMENSION i = 0; i < count; ++i)
                        lines[i] = rows.row(first + static_cast<std::int32_t>(i));
                    const JDIMENSION read = jpeg_read_scanlines(&cinfo, lines, count);
                    if (read == 0)
                        break; // our source never suspends; this only guards the loop
                    const std::int32_t end = first + static_cast<std::int32_t>(read);
                    if (pipeline) {
                        if (end - handedOver >= kHandOverRows && rows.placeable(end)) {
                            pipeline->handOver(end);
                            handedOver = end;
                        }
                        continue;
                    }
                    if (convert) {
                        for (JDIMENSION i = 0; i < read; ++i)
                            toSrgb.apply(lines[i], cinfo.output_width);
                    }
                    rows.finish(first, static_cast<std::int32_t>(read));
                }
                const auto end = static_cast<std::int32_t>(cinfo.output_scanline);
                if (pipeline && end > handedOver && rows.placeable(end))
                    pipeline->handOver(end);
            });
            if (!ok)
                raise(session);
        }
        if (pipeline)
            pipeline->finish();
    }
    if (!session.guarded([&cinfo] { jpeg_finish_decompress(&cinfo); }))
        raise(session);
    return bitmap;
}

Bitmap DecodeJpegFile(const std::string& path)
{
    TJPEGImage image;
    image.loadFromFile(path);
    return image.bitmap();
}

Bitmap decodeJpegMemory(const std::uint8_t* data, std::size_t size)
{
    TJPEGImage image;
    image.loadFromMemory(data, size);
    return image.bitmap();
}

} // namespace tavo
