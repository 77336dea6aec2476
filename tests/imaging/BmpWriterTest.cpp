// The BMP writer: what it writes reads back through the BMP reader unchanged,
// in the layout the format prescribes.
#include "imaging/BmpReader.h"
#include "imaging/BmpWriter.h"

#include "../TestScratch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tavo {
namespace {

namespace fs = std::filesystem;

fs::path scratchFile(const std::string& name)
{
    static const fs::path folder = test::uniqueScratchFolder("bmp-writer", fs::path(TAVO_BINARY_DIR) / "test-scratch");
    return folder / name;
}

std::vector<std::uint8_t> fileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// Every byte of every row a different value, padding included.
Bitmap patterned(std::int32_t width, std::int32_t height, int bits, RowOrder order = RowOrder::TopDown)
{
    Bitmap bitmap(width, height, bits, order);
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.mutableRow(y);
        for (std::size_t i = 0; i < bitmap.stride(); ++i)
            row[i] = static_cast<std::uint8_t>(y * 31 + i * 7 + 1);
    }
    return bitmap;
}

TEST(BmpWriter, EveryBitCountReadsBackWithPaletteAndMasks)
{
    struct Case {
        int bits;
        std::size_t paletteSize;
        ColorMasks masks;
    };
    for (const Case& c : {Case{1, 2, {}}, Case{4, 16, {}}, Case{4, 5, {}}, Case{8, 256, {}}, Case{8, 236, {}},
                          Case{16, 0, {}}, Case{16, 0, {0xF800, 0x07E0, 0x001F}}, Case{24, 0, {}},
                          Case{32, 0, {}}, Case{32, 0, {0x000000FF, 0x0000FF00, 0x00FF0000}}}) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.paletteSize << " colours");
        for (RowOrder order : {RowOrder::TopDown, RowOrder::BottomUp}) {
            Bitmap bitmap = patterned(13, 7, c.bits, order);
            std::vector<PaletteEntry> palette;
            for (std::size_t i = 0; i < c.paletteSize; ++i)
                palette.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                                   static_cast<std::uint8_t>(i * 3), 0});
            bitmap.setPalette(palette);
            bitmap.setMasks(c.masks);
            const fs::path path = scratchFile("round-trip.bmp");
            writeBmpFile(path.string(), bitmap);
            const Bitmap back = ReadBmpFile(path.string());
            ASSERT_EQ(back.width(), 13);
            ASSERT_EQ(back.height(), 7);
            ASSERT_EQ(back.bitCount(), c.bits);
            EXPECT_EQ(back.palette(), palette);
            EXPECT_EQ(back.effectiveMasks(), bitmap.effectiveMasks());
            for (std::int32_t y = 0; y < 7; ++y)
                EXPECT_EQ(std::memcmp(back.row(y), bitmap.row(y), bitmap.stride()), 0) << "row " << y;
        }
    }
}

TEST(BmpWriter, WritesBottomUpRowsAfterTheHeaderAndTable)
{
    Bitmap bitmap = patterned(3, 2, 8);
    bitmap.setPalette({{1, 2, 3, 0}, {4, 5, 6, 0}});
    const fs::path path = scratchFile("layout.bmp");
    writeBmpFile(path.string(), bitmap);
    const std::vector<std::uint8_t> bytes = fileBytes(path);
    ASSERT_EQ(bytes.size(), 14u + 40 + 2 * 4 + 2 * 4);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(le32(bytes, 2), bytes.size());
    EXPECT_EQ(le32(bytes, 10), 14u + 40 + 8); // pixel data offset
    EXPECT_EQ(le32(bytes, 22), 2u);           // positive height: bottom-up
    EXPECT_EQ(le32(bytes, 30), 0u);           // uncompressed
    EXPECT_EQ(le32(bytes, 46), 2u);           // colours used
    EXPECT_EQ(std::memcmp(&bytes[62], bitmap.row(1), 4), 0);
    EXPECT_EQ(std::memcmp(&bytes[66], bitmap.row(0), 4), 0);
}

TEST(BmpWriter, FileThatCannotBeCreatedRaisesFCreateError)
{
    const std::string path = (fs::path(TAVO_BINARY_DIR) / "no-such-folder" / "x.bmp").string();
    try {
        writeBmpFile(path, patterned(2, 2, 24));
        FAIL() << "wrote into a missing folder";
    } catch (const EFCreateError& error) {
        EXPECT_EQ(std::string(error.what()), "ﾌｧｲﾙ " + path + " を作成できません");
    }
}

} // namespace
} // namespace tavo
