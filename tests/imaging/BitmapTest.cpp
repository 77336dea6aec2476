#include "imaging/Bitmap.h"

#include "platform/Errors.h"

#include <gtest/gtest.h>

using namespace tavo;

TEST(Bitmap, RowsAreReachedFromTheTopWhateverTheMemoryOrder)
{
    Bitmap bottomUp(3, 2, 24, RowOrder::BottomUp);
    EXPECT_EQ(bottomUp.stride(), 12u);
    bottomUp.mutableRow(0)[0] = 7;
    // The top row of a bottom-up bitmap is the last row in memory.
    EXPECT_EQ(bottomUp.bits()[12], 7);
    EXPECT_EQ(bottomUp.row(0)[0], 7);
}

TEST(Bitmap, CopiesSharePixelsUntilOneIsWritten)
{
    Bitmap a(4, 4, 8);
    a.mutableRow(1)[2] = 9;
    Bitmap b = a;
    EXPECT_TRUE(a.sharesPixelsWith(b));
    b.mutableRow(1)[2] = 1;
    EXPECT_FALSE(a.sharesPixelsWith(b));
    EXPECT_EQ(a.row(1)[2], 9);
    EXPECT_EQ(b.row(1)[2], 1);
}

TEST(Bitmap, RefusesBadBitCountsAndSizes)
{
    EXPECT_THROW(Bitmap(1, 1, 2), EInvalidGraphic);
    EXPECT_THROW(Bitmap(-1, 1, 24), EInvalidGraphic);
    EXPECT_THROW(Bitmap(Bitmap::kMaxSide + 1, 1, 24), EInvalidGraphic);
    EXPECT_NO_THROW(Bitmap(0, 0, 24));
    EXPECT_TRUE(Bitmap().isEmpty());
}

TEST(Bitmap, ConvertsEveryFormatTo24BitKeepingColours)
{
    Bitmap mono(9, 1, 1);
    mono.setPalette({{0, 0, 0, 0}, {10, 20, 30, 0}});
    mono.mutableRow(0)[0] = 0x80; // pixel 0 set
    mono.mutableRow(0)[1] = 0x80; // pixel 8 set
    const Bitmap m = mono.toBgr24();
    EXPECT_EQ(m.bitCount(), 24);
    EXPECT_EQ(m.row(0)[0], 10);
    EXPECT_EQ(m.row(0)[3], 0);
    EXPECT_EQ(m.row(0)[8 * 3 + 2], 30);

    Bitmap nibble(2, 1, 4);
    nibble.setPalette(std::vector<PaletteEntry>(16, PaletteEntry{}));
    auto pal = nibble.palette();
    pal[3] = {1, 2, 3, 0};
    nibble.setPalette(pal);
    nibble.mutableRow(0)[0] = 0x03; // second pixel index 3
    EXPECT_EQ(nibble.toBgr24().row(0)[3], 1);
    EXPECT_EQ(nibble.toBgr24().row(0)[0], 0);

    Bitmap hi(1, 1, 16);
    hi.mutableRow(0)[0] = 0x1F; // 5-5-5 blue at its maximum
    EXPECT_EQ(hi.toBgr24().row(0)[0], 255);
    EXPECT_EQ(hi.toBgr24().row(0)[2], 0);
    hi.setMasks({0xF800, 0x07E0, 0x001F});
    hi.mutableRow(0)[0] = 0x00;
    hi.mutableRow(0)[1] = 0xF8; // 5-6-5 red at its maximum
    EXPECT_EQ(hi.toBgr24().row(0)[2], 255);

    Bitmap full(1, 1, 32, RowOrder::BottomUp);
    full.mutableRow(0)[0] = 5;
    full.mutableRow(0)[1] = 6;
    full.mutableRow(0)[2] = 7;
    const Bitmap f = full.toBgr24();
    EXPECT_EQ(f.row(0)[0], 5);
    EXPECT_EQ(f.row(0)[2], 7);
}

TEST(Bitmap, ResizeKeepsTheTopLeftPart)
{
    Bitmap b(2, 2, 24, RowOrder::BottomUp);
    b.mutableRow(0)[0] = 1;
    b.mutableRow(1)[3] = 2;
    b.resize(1, 3);
    EXPECT_EQ(b.width(), 1);
    EXPECT_EQ(b.height(), 3);
    EXPECT_EQ(b.row(0)[0], 1);
    EXPECT_EQ(b.row(1)[0], 0);
    EXPECT_EQ(b.row(2)[0], 0);
}
