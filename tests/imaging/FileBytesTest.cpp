#include "imaging/FileBytes.h"

#include "tests/TestScratch.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <thread>
#include <vector>

using tavo::FileBytes;

namespace {
std::vector<std::uint8_t> pattern(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 4099);
    return bytes;
}

bool holds(const FileBytes& bytes, const std::vector<std::uint8_t>& expected)
{
    return std::vector<std::uint8_t>(bytes.data(), bytes.data() + bytes.size()) == expected;
}
} // namespace

// Every byte, whatever the size says: a plain file small and large, an empty
// one, and a pipe (which has no size) longer than the first guess.
TEST(FileBytes, ReadsEveryByteOfAnyFile)
{
    const auto folder = tavo::test::uniqueScratchFolder("file-bytes");
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{70000}, std::size_t{3} << 20}) {
        const auto path = folder / ("f" + std::to_string(size));
        const auto expected = pattern(size);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(expected.data()),
                                                    static_cast<std::streamsize>(size));
        const FileBytes bytes = FileBytes::read(path.string());
        EXPECT_EQ(bytes.size(), size);
        EXPECT_TRUE(holds(bytes, expected)) << size;
    }

    const auto fifo = folder / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto expected = pattern(300000);
    std::thread writer([&] {
        std::FILE* out = std::fopen(fifo.c_str(), "wb");
        std::fwrite(expected.data(), 1, expected.size(), out);
        std::fclose(out);
    });
    const FileBytes bytes = FileBytes::read(fifo.string());
    writer.join();
    EXPECT_TRUE(holds(bytes, expected));

    EXPECT_THROW(FileBytes::read((folder / "missing").string()), tavo::EFOpenError);
    EXPECT_THROW(FileBytes::read(folder.string()), tavo::EFOpenError);
}
