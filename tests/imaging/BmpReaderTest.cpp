#include "BmpTestFiles.h"

#include "imaging/BmpReader.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <unistd.h>

using namespace tavo;
using namespace tavo::test;

namespace {

Bitmap read(const Bytes& file) { return ReadBmpStream(file.data(), file.size()); }

template <typename Error>
std::string failure(const Bytes& file)
{
    try {
        read(file);
    } catch (const Error& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("other error: ") + e.what();
    }
    return "no error";
}

std::string invalid(const Bytes& file) { return failure<EInvalidGraphic>(file); }
std::string readError(const Bytes& file) { return failure<EReadError>(file); }

const std::string kInvalid = "ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です";
const std::string kReadError = "ｽﾄﾘｰﾑからの読み込みｴﾗｰ";

BmpFile rgb24(std::int32_t width, std::int32_t height)
{
    BmpFile f;
    f.width = width;
    f.height = height;
    for (std::int32_t y = 0; y < (height < 0 ? -height : height); ++y) {
        Bytes row;
        for (std::int32_t x = 0; x < width; ++x)
            row.insert(row.end(), {std::uint8_t(x), std::uint8_t(y), std::uint8_t(x + y + 1)});
        const Bytes padded = paddedRow(row);
        f.pixels.insert(f.pixels.end(), padded.begin(), padded.end());
    }
    return f;
}

PaletteEntry bgr(int b, int g, int r) { return {std::uint8_t(b), std::uint8_t(g), std::uint8_t(r), 0}; }

class TempFile {
public:
    explicit TempFile(const Bytes& bytes)
        : path_(std::filesystem::temp_directory_path() / ("tavo-bmp-" + std::to_string(::getpid()) + "-" +
                                                           std::to_string(counter_++) + ".bmp"))
    {
        std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    ~TempFile() { std::filesystem::remove(path_); }
    std::string path() const { return path_.string(); }

private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

} // namespace

TEST(BmpReader, EmptyDataGivesAnEmptyBitmap)
{
    EXPECT_TRUE(ReadBmpStream(nullptr, 0).isEmpty());
    TempFile empty(Bytes{});
    const Bitmap b = ReadBmpFile(empty.path());
    EXPECT_EQ(b.width(), 0);
    EXPECT_EQ(b.height(), 0);
}

TEST(BmpReader, RefusesWhatItCannotReadWithTheInvalidBitmapMessage)
{
    Bytes notBm = rgb24(2, 2).bytes();
    notBm[1] = 'A';
    EXPECT_EQ(invalid(notBm), kInvalid);

    for (const std::uint32_t size : {0u, 4u, 11u, 13u, 16u, 39u}) {
        Bytes file = rgb24(2, 2).bytes();
        file[14] = static_cast<std::uint8_t>(size);
        EXPECT_EQ(invalid(file), kInvalid) << "header size " << size;
    }
    for (const std::uint16_t planes : {0, 2}) {
        BmpFile f = rgb24(2, 2);
        f.planes = planes;
        EXPECT_EQ(invalid(f.bytes()), kInvalid) << "planes " << planes;
    }
    for (const auto& [w, h] : std::vector<std::pair<std::int32_t, std::int32_t>>{
             {-1, 2}, {Bitmap::kMaxSide + 1, 1}, {1, Bitmap::kMaxSide + 1}, {1, -Bitmap::kMaxSide - 1}, {1, INT_MIN}}) {
        BmpFile f = rgb24(1, 1);
        f.width = w;
        f.height = h;
        EXPECT_EQ(invalid(f.bytes()), kInvalid) << w << " x " << h;
    }
    for (const std::uint16_t bits : {0, 2, 3, 15, 33, 30000}) {
        BmpFile f = rgb24(2, 2);
        f.bitCount = bits;
        EXPECT_EQ(invalid(f.bytes()), kInvalid) << "bits " << bits;
    }
    // Compressions outside the four known ones, and known ones at the wrong depth.
    for (const auto& [compression, bits] : std::vector<std::pair<std::uint32_t, std::uint16_t>>{
             {4, 24}, {5, 24}, {6, 32}, {1, 4}, {1, 24}, {2, 8}, {3, 24}, {3, 8}}) {
        BmpFile f = rgb24(2, 2);
        f.compression = compression;
        f.bitCount = bits;
        f.colorsUsed = 1; // a whole colour table: the check itself is what fails
        f.colors = testColors(1);
        EXPECT_EQ(invalid(f.bytes()), kInvalid) << "compression " << compression << " at " << bits;
    }
    BmpFile bigTable = rgb24(2, 2);
    bigTable.bitCount = 8;
    bigTable.colorsUsed = 257;
    bigTable.colors = testColors(257);
    EXPECT_EQ(invalid(bigTable.bytes()), kInvalid);

    // Bit fields in a header too short to hold the masks and not followed by them.
    BmpFile shortV2 = rgb24(2, 2);
    shortV2.headerSize = 44;
    shortV2.bitCount = 32;
    shortV2.compression = 3;
    EXPECT_EQ(invalid(shortV2.bytes()), kInvalid);

    // Run-length data has no top-down form.
    BmpFile topDownRle = rgb24(2, -2);
    topDownRle.bitCount = 8;
    topDownRle.compression = 1;
    topDownRle.colorsUsed = 1;
    topDownRle.colors = testColors(1);
    EXPECT_EQ(invalid(topDownRle.bytes()), kInvalid);
}

TEST(BmpReader, RefusesPixelBuffersBeyondTheLimitBeforeAllocating)
{
    // 65536 × 65536 at 32 bits is 16 GiB; a 100-byte file must not get that far.
    BmpFile f = rgb24(1, 1);
    f.width = Bitmap::kMaxSide;
    f.height = Bitmap::kMaxSide;
    f.bitCount = 32;
    EXPECT_EQ(invalid(f.bytes()), kInvalid);
    // The same side at 8 bits expands to 32 when run-length coded.
    f.bitCount = 8;
    f.compression = 1;
    f.colors = testColors(2);
    f.colorsUsed = 2;
    EXPECT_EQ(invalid(f.bytes()), kInvalid);
}

TEST(BmpReader, ChecksInTheFixedOrder)
{
    // Not "BM" wins over a truncated header; a bad planes field is only seen
    // once the whole header is there; the bit count, the sides and the
    // compression are judged only once the masks and colour table are read,
    // so data ending inside those is a read error whatever the header says.
    Bytes file = rgb24(2, 2).bytes();
    file[0] = 'X';
    file.resize(20);
    EXPECT_EQ(invalid(file), kInvalid);

    BmpFile badPlanes = rgb24(2, 2);
    badPlanes.planes = 3;
    Bytes cut = badPlanes.bytes();
    cut.resize(40);
    EXPECT_EQ(readError(cut), kReadError);

    BmpFile badBits = rgb24(2, 2);
    badBits.bitCount = 7;
    badBits.colorsUsed = 200;
    badBits.colors = testColors(200);
    EXPECT_EQ(invalid(badBits.bytes()), kInvalid);
    cut = badBits.bytes();
    cut.resize(54 + 4 * 199);
    EXPECT_EQ(readError(cut), kReadError);

    BmpFile badSide = rgb24(2, 2);
    badSide.width = -2;
    badSide.colorsUsed = 3;
    badSide.colors = testColors(3);
    cut = badSide.bytes();
    cut.resize(54 + 4);
    EXPECT_EQ(readError(cut), kReadError);

    BmpFile badFields = rgb24(2, 2);
    badFields.bitCount = 16;
    badFields.compression = 4; // not bit fields: no masks follow, the table is empty
    cut = badFields.bytes();
    cut.resize(54);
    EXPECT_EQ(invalid(cut), kInvalid);
    badFields.compression = 3;
    badFields.width = Bitmap::kMaxSide + 1;
    badFields.masks = ColorMasks{0xF800, 0x07E0, 0x001F};
    cut = badFields.bytes();
    cut.resize(54 + 8);
    EXPECT_EQ(readError(cut), kReadError);
}

TEST(BmpReader, DataEndingInsideHeadersMasksOrColourTableIsAReadError)
{
    BmpFile pal = rgb24(2, 2);
    pal.bitCount = 8;
    pal.colorsUsed = 4;
    pal.colors = testColors(4);
    pal.pixels = Bytes(8, 1);
    const Bytes full = pal.bytes();
    // Inside the file header, the header size, the information header and the colour table.
    for (const std::size_t cut : {1u, 13u, 15u, 17u, 30u, 53u, 55u, 69u}) {
        Bytes file(full.begin(), full.begin() + cut);
        EXPECT_EQ(readError(file), kReadError) << "cut at " << cut;
    }
    BmpFile os2 = pal;
    os2.headerSize = 12;
    const Bytes core = os2.bytes();
    for (const std::size_t cut : {20u, 25u, 26u + 11u}) {
        Bytes file(core.begin(), core.begin() + cut);
        EXPECT_EQ(readError(file), kReadError) << "OS/2 cut at " << cut;
    }
    BmpFile fields = rgb24(2, 2);
    fields.bitCount = 16;
    fields.compression = 3;
    fields.masks = ColorMasks{0xF800, 0x07E0, 0x001F};
    Bytes masks = fields.bytes();
    masks.resize(54 + 8);
    EXPECT_EQ(readError(masks), kReadError);
    // A header size larger than the data.
    Bytes longHeader = rgb24(2, 2).bytes();
    longHeader[15] = 0x10;
    EXPECT_EQ(readError(longHeader), kReadError);
}

TEST(BmpReader, PixelDataIsCutToWhatTheDataHoldsAndTheRestStaysZero)
{
    BmpFile f = rgb24(2, 3);                  // bottom-up, rows of 8 bytes
    Bytes file = f.bytes();
    file.resize(file.size() - 8 - 3);         // the top row is gone, the middle cut
    const Bitmap b = read(file);
    EXPECT_EQ(b.pixelColor(0, 2), bgr(0, 0, 1)); // bottom row, first in the file
    EXPECT_EQ(b.pixelColor(0, 1), bgr(0, 1, 2));
    EXPECT_EQ(b.pixelColor(1, 1), bgr(1, 1, 0)); // cut inside this pixel
    EXPECT_EQ(b.pixelColor(1, 0), bgr(0, 0, 0));

    // A small image-size field limits the copy even when the file holds more,
    // a large one is cut to the data.
    f.imageSize = 8;
    const Bitmap limited = read(f.bytes());
    EXPECT_EQ(limited.pixelColor(1, 2), bgr(1, 0, 2));
    EXPECT_EQ(limited.pixelColor(1, 1), bgr(0, 0, 0));
    f.imageSize = 0x7FFFFFF0;
    EXPECT_EQ(read(f.bytes()).pixelColor(1, 0), bgr(1, 2, 4));
}

// A header may promise far more than the data holds: the picture's memory is
// committed only as far as data is written into it, not in full up front.
TEST(BmpReader, AHugeHeaderOverLittleDataCommitsLittleMemory)
{
    const auto residentBytes = [] {
        long total = 0, resident = 0;
        std::ifstream("/proc/self/statm") >> total >> resident;
        return resident * sysconf(_SC_PAGESIZE);
    };
    BmpFile f;
    f.width = 20000;
    f.height = 20000; // 1.2 GB of pixels
    f.pixels = Bytes(1000, 0x5A);
    const Bytes file = f.bytes();
    const long before = residentBytes();
    const Bitmap b = read(file);
    // Time for pages faulted in behind the reader's back to show.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(b.byteSize(), std::size_t{20000} * 60000);
    EXPECT_EQ(b.pixelColor(0, 19999), bgr(0x5A, 0x5A, 0x5A));
    EXPECT_LT(residentBytes() - before, 64L << 20);
}

TEST(BmpReader, KeepsTwentyFourBitRowsInTheirOrder)
{
    const Bitmap bottomUp = read(rgb24(3, 2).bytes());
    EXPECT_EQ(bottomUp.bitCount(), 24);
    EXPECT_EQ(bottomUp.rowOrder(), RowOrder::BottomUp);
    EXPECT_EQ(bottomUp.pixelColor(2, 1), bgr(2, 0, 3)); // file row 0 is the bottom
    EXPECT_EQ(bottomUp.pixelColor(2, 0), bgr(2, 1, 4));

    const Bitmap topDown = read(rgb24(3, -2).bytes());
    EXPECT_EQ(topDown.height(), 2);
    EXPECT_EQ(topDown.rowOrder(), RowOrder::TopDown);
    EXPECT_EQ(topDown.pixelColor(2, 0), bgr(2, 0, 3));
    EXPECT_EQ(topDown.pixelColor(2, 1), bgr(2, 1, 4));
}

TEST(BmpReader, PalettedDepthsKeepTheirBitsAndTheColourTable)
{
    BmpFile mono;
    mono.width = 10;
    mono.height = 1;
    mono.bitCount = 1;
    mono.colors = {bgr(1, 2, 3), bgr(4, 5, 6)};
    mono.pixels = paddedRow({0b10100000, 0b01000000});
    Bitmap b = read(mono.bytes());
    EXPECT_EQ(b.bitCount(), 1);
    EXPECT_EQ(b.palette(), mono.colors);
    EXPECT_EQ(b.pixelColor(0, 0), bgr(4, 5, 6));
    EXPECT_EQ(b.pixelColor(1, 0), bgr(1, 2, 3));
    EXPECT_EQ(b.pixelColor(9, 0), bgr(4, 5, 6));

    BmpFile nibble;
    nibble.width = 3;
    nibble.height = 2;
    nibble.bitCount = 4;
    nibble.colors = testColors(16);
    nibble.pixels = paddedRow({0x1F, 0x70});
    const Bytes top = paddedRow({0x23, 0x40});
    nibble.pixels.insert(nibble.pixels.end(), top.begin(), top.end());
    b = read(nibble.bytes());
    EXPECT_EQ(b.bitCount(), 4);
    EXPECT_EQ(b.palette().size(), 16u);
    EXPECT_EQ(b.pixelColor(0, 1), nibble.colors[1]);
    EXPECT_EQ(b.pixelColor(1, 1), nibble.colors[15]);
    EXPECT_EQ(b.pixelColor(2, 0), nibble.colors[4]);

    BmpFile byte;
    byte.width = 2;
    byte.height = 1;
    byte.bitCount = 8;
    byte.colors = testColors(256);
    byte.pixels = paddedRow({200, 7});
    b = read(byte.bytes());
    EXPECT_EQ(b.bitCount(), 8);
    EXPECT_EQ(b.palette().size(), 256u);
    EXPECT_EQ(b.pixelColor(0, 0), byte.colors[200]);
    EXPECT_EQ(b.pixelColor(1, 0), byte.colors[7]);
}

TEST(BmpReader, UsedColoursFieldSizesTheColourTable)
{
    // 8 bits with 5 used colours: the pixels follow the fifth entry.
    BmpFile few;
    few.width = 2;
    few.height = 1;
    few.bitCount = 8;
    few.colorsUsed = 5;
    few.colors = testColors(5);
    few.pixels = paddedRow({4, 9});
    Bitmap b = read(few.bytes());
    EXPECT_EQ(b.palette().size(), 5u);
    EXPECT_EQ(b.pixelColor(0, 0), few.colors[4]);
    EXPECT_EQ(b.pixelColor(1, 0), bgr(0, 0, 0)); // beyond the table: black

    // 24 bits with 5 used colours: a table the pixels do not use, kept as palette.
    BmpFile rgb = rgb24(1, 1);
    rgb.colorsUsed = 5;
    rgb.colors = testColors(5);
    b = read(rgb.bytes());
    EXPECT_EQ(b.palette(), rgb.colors);
    EXPECT_EQ(b.pixelColor(0, 0), bgr(0, 0, 1));

    // 1 bit with 0 used colours carries 2 entries, 4 bits 16.
    BmpFile mono;
    mono.width = 1;
    mono.height = 1;
    mono.bitCount = 1;
    mono.colors = testColors(2);
    mono.pixels = paddedRow({0x80});
    EXPECT_EQ(read(mono.bytes()).pixelColor(0, 0), mono.colors[1]);
}

TEST(BmpReader, SixteenAndThirtyTwoBitsWithDefaultAndFieldMasks)
{
    BmpFile plain;
    plain.width = 2;
    plain.height = 1;
    plain.bitCount = 16;
    plain.pixels = paddedRow({0x1F, 0x00, 0x00, 0x7C}); // 5-5-5: blue, then red
    Bitmap b = read(plain.bytes());
    EXPECT_EQ(b.bitCount(), 16);
    EXPECT_TRUE(b.masks().isDefault());
    EXPECT_EQ(b.pixelColor(0, 0), bgr(255, 0, 0));
    EXPECT_EQ(b.pixelColor(1, 0), bgr(0, 0, 255));

    BmpFile f565 = plain;
    f565.compression = 3;
    f565.masks = ColorMasks{0xF800, 0x07E0, 0x001F};
    f565.pixels = paddedRow({0xE0, 0x07, 0x00, 0xF8});
    b = read(f565.bytes());
    EXPECT_EQ(b.masks(), *f565.masks);
    EXPECT_EQ(b.pixelColor(0, 0), bgr(0, 255, 0));
    EXPECT_EQ(b.pixelColor(1, 0), bgr(0, 0, 255));

    // 32 bits: the default 8-8-8, then 10-10-10 fields, then blue-green-red
    // masks inside a V5 header.
    BmpFile wide = plain;
    wide.bitCount = 32;
    wide.pixels = {10, 20, 30, 99, 1, 2, 3, 0};
    b = read(wide.bytes());
    EXPECT_EQ(b.pixelColor(0, 0), bgr(10, 20, 30));

    BmpFile deep = wide;
    deep.compression = 3;
    deep.masks = ColorMasks{0x3FF00000, 0x000FFC00, 0x000003FF};
    deep.pixels = {0xFF, 0x03, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F};
    b = read(deep.bytes());
    EXPECT_EQ(b.pixelColor(0, 0), bgr(255, 0, 0));
    EXPECT_EQ(b.pixelColor(1, 0), bgr(0, 0, 255));

    for (const std::uint32_t size : {52u, 56u, 108u, 124u}) {
        BmpFile v5 = wide;
        v5.headerSize = size;
        v5.compression = 3;
        v5.masks = ColorMasks{0x000000FF, 0x0000FF00, 0x00FF0000};
        b = read(v5.bytes());
        EXPECT_EQ(b.masks(), *v5.masks) << size;
        EXPECT_EQ(b.pixelColor(0, 0), bgr(30, 20, 10)) << size;
        // Without bit-field compression the masks in the header do not apply.
        v5.compression = 0;
        EXPECT_TRUE(read(v5.bytes()).masks().isDefault()) << size;
    }
}

TEST(BmpReader, Os2CoreHeaderIsWidenedWithThreeByteColours)
{
    BmpFile os2;
    os2.headerSize = 12;
    os2.width = 3;
    os2.height = 2;
    os2.bitCount = 8;
    os2.colors = testColors(256);
    for (auto& c : os2.colors)
        c.reserved = 0;
    os2.pixels = paddedRow({1, 2, 255});
    const Bytes top = paddedRow({3, 4, 5});
    os2.pixels.insert(os2.pixels.end(), top.begin(), top.end());
    const Bitmap b = read(os2.bytes());
    EXPECT_EQ(b.width(), 3);
    EXPECT_EQ(b.height(), 2);
    EXPECT_EQ(b.rowOrder(), RowOrder::BottomUp);
    EXPECT_EQ(b.palette(), os2.colors);
    EXPECT_EQ(b.pixelColor(2, 1), os2.colors[255]);
    EXPECT_EQ(b.pixelColor(0, 0), os2.colors[3]);

    BmpFile os2rgb = rgb24(2, 2);
    os2rgb.headerSize = 12;
    EXPECT_EQ(read(os2rgb.bytes()).pixelColor(1, 0), bgr(1, 1, 3));
}

TEST(BmpReader, PixelsComeFromDirectlyAfterTheColourTableNotTheOffset)
{
    BmpFile f = rgb24(1, 1);
    f.gap = Bytes(16, 0xEE);
    f.pixels = {7, 8, 9, 0};
    // The gap's bytes are read as pixels; the file header's offset is ignored.
    EXPECT_EQ(read(f.bytes()).pixelColor(0, 0), bgr(0xEE, 0xEE, 0xEE));
}

TEST(BmpReader, ZeroWidthOrHeightGivesAnEmptyBitmapOnceTheHeadersAreValid)
{
    for (const auto& [w, h] : std::vector<std::pair<std::int32_t, std::int32_t>>{{0, 5}, {5, 0}, {0, 0}}) {
        BmpFile f = rgb24(1, 1);
        f.width = w;
        f.height = h;
        const Bitmap b = read(f.bytes());
        EXPECT_TRUE(b.isEmpty());
        EXPECT_EQ(b.width(), 0);
        EXPECT_EQ(b.height(), 0);
        f.bitCount = 12;
        EXPECT_EQ(invalid(f.bytes()), kInvalid);
    }
}

TEST(BmpReader, StreamIsReadFromItsPositionToItsEnd)
{
    Bytes stream(100, 0x55);
    const Bytes file = rgb24(2, 2).bytes();
    stream.insert(stream.end(), file.begin(), file.end());
    const Bitmap b = ReadBmpStream(stream.data() + 100, stream.size() - 100);
    EXPECT_EQ(b.pixelColor(1, 0), bgr(1, 1, 3));
}

TEST(BmpReader, FileReadsLikeTheStream)
{
    BmpFile f = rgb24(300, 200);
    // A header far longer than usual, so that the headers need more than the
    // first bytes of the file.
    f.headerSize = 3000;
    f.colorsUsed = 256;
    f.colors = testColors(256);
    const Bytes bytes = f.bytes();
    TempFile file(bytes);
    const Bitmap fromFile = ReadBmpFile(file.path());
    const Bitmap fromStream = read(bytes);
    ASSERT_EQ(fromFile.byteSize(), fromStream.byteSize());
    EXPECT_EQ(0, std::memcmp(fromFile.bits(), fromStream.bits(), fromFile.byteSize()));
    EXPECT_EQ(fromFile.palette(), fromStream.palette());

    Bytes cut = bytes;
    cut.resize(bytes.size() - 1000);
    TempFile shortFile(cut);
    const Bitmap truncated = ReadBmpFile(shortFile.path());
    EXPECT_EQ(0, std::memcmp(truncated.bits(), read(cut).bits(), truncated.byteSize()));

    TempFile header(Bytes(bytes.begin(), bytes.begin() + 100));
    EXPECT_THROW(ReadBmpFile(header.path()), EReadError);
}

TEST(BmpReader, DataInTwoPiecesReadsLikeTheWhole)
{
    // Split at every place: inside the file header, the information header
    // (OS/2 and a long one), the colour table, the run-length data and the rows.
    BmpFile core = rgb24(3, 2);
    core.headerSize = 12;
    core.bitCount = 8;
    core.colors = testColors(256);
    core.pixels = Bytes(8, 7);
    BmpFile rle = rgb24(4, 2);
    rle.bitCount = 8;
    rle.compression = 1;
    rle.colorsUsed = 3;
    rle.colors = testColors(3);
    rle.pixels = {4, 1, 0, 0, 2, 2, 2, 0, 0, 1};
    BmpFile longHeader = rgb24(5, 3);
    longHeader.headerSize = 124;
    BmpFile cut = rgb24(7, 4);
    cut.pixels.resize(cut.pixels.size() - 30);
    for (const BmpFile& f : {core, rle, longHeader, cut}) {
        const Bytes bytes = f.bytes();
        const Bitmap whole = read(bytes);
        for (std::size_t at = 0; at <= bytes.size(); ++at) {
            const std::span<const std::uint8_t> all(bytes);
            const Bitmap pieces = ReadBmpStream(all.first(at), all.subspan(at));
            ASSERT_EQ(pieces.width(), whole.width()) << at;
            ASSERT_EQ(pieces.height(), whole.height()) << at;
            ASSERT_EQ(pieces.bitCount(), whole.bitCount()) << at;
            ASSERT_EQ(pieces.palette(), whole.palette()) << at;
            ASSERT_EQ(0, std::memcmp(pieces.bits(), whole.bits(), whole.byteSize())) << at;
        }
        // Data that ends inside the headers fails alike wherever it is split.
        const std::span<const std::uint8_t> head(bytes.data(), 30);
        EXPECT_THROW(ReadBmpStream(head.first(10), head.subspan(10)), EReadError);
    }
}

TEST(BmpReader, FileThatCannotBeOpenedNamesThePath)
{
    const std::string missing = "/nonexistent/folder/picture.bmp";
    try {
        ReadBmpFile(missing);
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "ﾌｧｲﾙ /nonexistent/folder/picture.bmp は開けません");
    }
    EXPECT_THROW(ReadBmpFile(std::filesystem::temp_directory_path().string()), EFOpenError);
}
