#include "BmpTestFiles.h"

#include "imaging/BmpReader.h"

#include <gtest/gtest.h>

#include <string>

using namespace tavo;
using namespace tavo::test;

namespace {

const std::vector<PaletteEntry> kColors = testColors(16);

Bitmap readRle(int bits, std::int32_t width, std::int32_t height, const Bytes& data, std::uint32_t imageSize = 0)
{
    BmpFile f;
    f.width = width;
    f.height = height;
    f.bitCount = static_cast<std::uint16_t>(bits);
    f.compression = bits == 8 ? 1 : 2;
    f.colorsUsed = static_cast<std::uint32_t>(kColors.size());
    f.colors = kColors;
    f.imageSize = imageSize != 0 ? imageSize : static_cast<std::uint32_t>(data.size());
    f.pixels = data;
    const Bytes file = f.bytes();
    return ReadBmpStream(file.data(), file.size());
}

// The picture as colour-table indexes from the bottom row up, '.' for a
// pixel never written and 'x' for any other colour.
std::vector<std::string> indexes(const Bitmap& b)
{
    std::vector<std::string> rows;
    for (std::int32_t y = b.height() - 1; y >= 0; --y) {
        std::string row;
        for (std::int32_t x = 0; x < b.width(); ++x) {
            const PaletteEntry c = b.pixelColor(x, y);
            char code = 'x';
            if (c == PaletteEntry{})
                code = '.';
            for (std::size_t i = 0; i < kColors.size(); ++i)
                if (c == PaletteEntry{kColors[i].blue, kColors[i].green, kColors[i].red, 0})
                    code = "0123456789abcdef"[i];
            row += code;
        }
        rows.push_back(row);
    }
    return rows;
}

using Rows = std::vector<std::string>;

} // namespace

TEST(BmpRle, Rle8ExpandsRunsAbsoluteRunsLineEndsDeltaAndEndOfBitmap)
{
    const Bitmap b = readRle(8, 6, 4,
                             {3, 1,             // three pixels of colour 1
                              0, 3, 2, 3, 4, 0, // absolute run of three, padded
                              0, 0,             // end of line
                              0, 2, 1, 1,       // delta: one right, one up
                              2, 5,             //
                              0, 4, 6, 7, 8, 9, // absolute run of four, no padding
                              0, 1,             // end of bitmap
                              6, 1});           // ignored
    EXPECT_EQ(b.bitCount(), 32);
    EXPECT_EQ(b.rowOrder(), RowOrder::BottomUp);
    EXPECT_TRUE(b.palette().empty());
    EXPECT_EQ(indexes(b), (Rows{"111234", "......", ".55678", "......"}));
    // The fourth byte of each pixel stays zero.
    EXPECT_EQ(b.row(3)[3], 0);
}

TEST(BmpRle, Rle4ExpandsAlternatingNibblesAndPadsAbsoluteRunsToWords)
{
    const Bitmap b = readRle(4, 7, 3,
                             {5, 0x12,                      // 1 2 1 2 1
                              0, 0,                         //
                              0, 5, 0x34, 0x56, 0x70, 0,    // five nibbles in three bytes, padded
                              1, 0xF0,                      // one pixel: the high nibble
                              0, 0,                         //
                              0, 3, 0xAB, 0xC0,             // three nibbles in two bytes, no padding
                              0, 2, 2, 0,                   // delta two right
                              2, 0xDE});
    EXPECT_EQ(indexes(b), (Rows{"12121..", "34567f.", "abc..de"}));
}

TEST(BmpRle, IndexesBeyondTheColourTableGiveBlack)
{
    const Bitmap b = readRle(8, 2, 1, {1, 3, 1, 200});
    EXPECT_EQ(indexes(b), (Rows{"3."}));
}

TEST(BmpRle, HostileRunsNeverLeaveTheirRowOrThePicture)
{
    // A run far past the row's end is cut there and does not wrap.
    EXPECT_EQ(indexes(readRle(8, 3, 2, {255, 1, 3, 2})), (Rows{"111", "..."}));
    EXPECT_EQ(indexes(readRle(4, 3, 2, {255, 0x12, 0, 0, 255, 0x34})), (Rows{"121", "343"}));
    // So is an absolute run, whose bytes are still consumed.
    EXPECT_EQ(indexes(readRle(8, 3, 2, {0, 5, 1, 2, 3, 4, 5, 0, 2, 6})), (Rows{"123", "..."}));
    EXPECT_EQ(indexes(readRle(4, 3, 2, {0, 9, 0x12, 0x34, 0x56, 0x78, 0x90, 0, 0, 0, 1, 0x50})),
              (Rows{"123", "5.."}));
    // A delta past the right edge or the top, and more line ends than rows.
    EXPECT_EQ(indexes(readRle(8, 3, 2, {0, 2, 250, 0, 3, 1, 0, 0, 1, 2})), (Rows{"...", "2.."}));
    EXPECT_EQ(indexes(readRle(8, 3, 2, {0, 2, 0, 200, 3, 1})), (Rows{"...", "..."}));
    Bytes lineEnds;
    for (int i = 0; i < 100; ++i)
        lineEnds.insert(lineEnds.end(), {0, 0});
    lineEnds.insert(lineEnds.end(), {3, 1});
    EXPECT_EQ(indexes(readRle(8, 3, 2, lineEnds)), (Rows{"...", "..."}));
}

TEST(BmpRle, DataThatRunsOutEndsThePicture)
{
    EXPECT_EQ(indexes(readRle(8, 4, 1, {0, 5, 1, 2})), (Rows{"12.."}));        // inside an absolute run
    EXPECT_EQ(indexes(readRle(4, 4, 1, {0, 4, 0x12})), (Rows{"12.."}));
    EXPECT_EQ(indexes(readRle(8, 4, 1, {0, 3, 1, 2, 3})), (Rows{"123."}));     // before its padding
    EXPECT_EQ(indexes(readRle(8, 4, 1, {2, 1, 0})), (Rows{"11.."}));           // after an escape byte
    EXPECT_EQ(indexes(readRle(8, 4, 2, {2, 1, 0, 2, 1})), (Rows{"11..", "...."})); // inside a delta
    // The image-size field bounds the data even when the file holds more.
    EXPECT_EQ(indexes(readRle(8, 4, 1, {1, 1, 1, 2}, 2)), (Rows{"1..."}));
}
