#include "imaging/BmpLayout.h"

#include "platform/Errors.h"

#include <cstdlib>

namespace tavo {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;   // OS/2 BITMAPCOREHEADER
constexpr std::uint32_t kInfoHeaderSize = 40;   // BITMAPINFOHEADER
// V2 and later headers carry the red, green and blue masks at offsets 40 to 51.
constexpr std::uint32_t kMasksInHeaderSize = 52;
constexpr std::uint32_t kMaxColors = 256;

// The information header in its 40-byte Windows form.
struct InfoHeader {
    std::uint32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t imageSize = 0;
    std::uint32_t colorsUsed = 0;
    ColorMasks masks;   // from the header itself when it is long enough
};

InfoHeader readInfoHeader(ByteReader& reader)
{
    InfoHeader h;
    h.size = reader.u32();
    if (h.size == kCoreHeaderSize) {
        // The core header's sides are unsigned 16-bit: it has no top-down form.
        const auto core = reader.take(kCoreHeaderSize - 4);
        h.width = ByteReader::le16(core, 0);
        h.height = ByteReader::le16(core, 2);
        h.planes = ByteReader::le16(core, 4);
        h.bitCount = ByteReader::le16(core, 6);
        return h;
    }
    // Shorter headers lack fields that every later step needs.
    if (h.size < kInfoHeaderSize)
        throw EInvalidGraphic();
    const auto rest = reader.take(h.size - 4);
    h.width = static_cast<std::int32_t>(ByteReader::le32(rest, 0));
    h.height = static_cast<std::int32_t>(ByteReader::le32(rest, 4));
    h.planes = ByteReader::le16(rest, 8);
    h.bitCount = ByteReader::le16(rest, 10);
    h.compression = ByteReader::le32(rest, 12);
    h.imageSize = ByteReader::le32(rest, 16);
    h.colorsUsed = ByteReader::le32(rest, 28);
    if (h.size >= kMasksInHeaderSize)
        h.masks = {ByteReader::le32(rest, 36), ByteReader::le32(rest, 40), ByteReader::le32(rest, 44)};
    return h;
}

bool compressionFits(const InfoHeader& h)
{
    switch (h.compression) {
    case 0:
        return true;
    case 1:
        return h.bitCount == 8;
    case 2:
        return h.bitCount == 4;
    case 3:
        // The masks follow a 40-byte header or lie inside a V2 or later one.
        return (h.bitCount == 16 || h.bitCount == 32) &&
               (h.size == kInfoHeaderSize || h.size >= kMasksInHeaderSize);
    default:
        return false;
    }
}

std::uint32_t colorTableEntries(const InfoHeader& h)
{
    if (h.colorsUsed != 0)
        return h.colorsUsed;
    switch (h.bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

} // namespace

std::uint64_t maxBmpLayoutBytes(std::uint32_t infoHeaderSize)
{
    return kFileHeaderSize + std::uint64_t{infoHeaderSize} + 12 + 4 * kMaxColors;
}

BmpLayout readBmpLayout(ByteReader& reader)
{
    const auto fileHeader = reader.take(kFileHeaderSize);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M')
        throw EInvalidGraphic();

    const InfoHeader h = readInfoHeader(reader);
    if (h.planes != 1)
        throw EInvalidGraphic();
    // The colour table is read into a block of at most 256 entries.
    const std::uint32_t colors = colorTableEntries(h);
    if (colors > kMaxColors)
        throw EInvalidGraphic();

    // Masks and colour table are read before the header's values are judged,
    // so data that ends inside them is a read error whatever the header says.
    ColorMasks masks = h.masks;
    const bool masksFollow =
        h.size == kInfoHeaderSize && (h.bitCount == 16 || h.bitCount == 32) && h.compression == 3;
    if (masksFollow) {
        const auto block = reader.take(12);
        masks = {ByteReader::le32(block, 0), ByteReader::le32(block, 4), ByteReader::le32(block, 8)};
    }
    const std::size_t entrySize = h.size == kCoreHeaderSize ? 3 : 4;
    const auto table = reader.take(colors * entrySize);

    // What a bitmap can be made of: a negative height means top-down rows, and
    // INT32_MIN has no magnitude.
    const std::int64_t rows = std::llabs(static_cast<std::int64_t>(h.height));
    if (h.width < 0 || h.width > Bitmap::kMaxSide || rows > Bitmap::kMaxSide)
        throw EInvalidGraphic();
    if (!Bitmap::isValidBitCount(h.bitCount) || !compressionFits(h))
        throw EInvalidGraphic();

    BmpLayout layout;
    layout.width = h.width;
    layout.height = static_cast<std::int32_t>(rows);
    layout.rowOrder = h.height < 0 ? RowOrder::TopDown : RowOrder::BottomUp;
    layout.bitCount = h.bitCount;
    layout.compression = static_cast<BmpCompression>(h.compression);
    // Run-length data is laid out from the bottom row up; there is no top-down form.
    if (layout.isRunLength() && layout.rowOrder == RowOrder::TopDown)
        throw EInvalidGraphic();
    if (layout.compression == BmpCompression::BitFields)
        layout.masks = masks;

    layout.colorTable.resize(colors);
    for (std::uint32_t i = 0; i < colors; ++i) {
        const std::uint8_t* e = table.data() + i * entrySize;
        layout.colorTable[i] = {e[0], e[1], e[2], entrySize == 4 ? e[3] : std::uint8_t{0}};
    }
    layout.pixelStart = reader.position();

    const std::uint64_t outputBytes =
        std::uint64_t{Bitmap::rowStride(layout.width, layout.outputBitCount())} * static_cast<std::uint64_t>(rows);
    if (outputBytes > Bitmap::kMaxPixelBytes)
        throw EInvalidGraphic();
    layout.pixelBytes = h.imageSize != 0
        ? h.imageSize
        : std::uint64_t{Bitmap::rowStride(layout.width, layout.bitCount)} * static_cast<std::uint64_t>(rows);
    return layout;
}

} // namespace tavo
