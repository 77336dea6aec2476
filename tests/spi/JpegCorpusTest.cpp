// The JPEG variants of the Go sources (subsamplings, progressive, CMYK, RGB,
// greyscale, truncated) through the JPEG plug-in, checked against ImageMagick,
// which decodes with the same library. Fetched at test time; skips without it.
#include "CorpusSupport.h"
#include "PluginHarness.h"
#include "platform/LocalMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace tavo::spitest {
namespace {

TEST(JpegCorpus, GoVariantsDecodeAsImageMagickReadsThem)
{
    if (!run("convert -version"))
        GTEST_SKIP() << "ImageMagick's convert is not installed (package imagemagick)";
    const auto root = fetch("binary golang-1.19-src usr/share/go-1.19/src/image");
    if (!root || !fs::is_directory(*root / "testdata"))
        GTEST_SKIP() << "Go's image test files not available: tests/corpora/fetch.sh binary golang-1.19-src failed";
    PluginModule jpeg("ifjpeg.spi");
    ASSERT_TRUE(jpeg.loaded());
    const std::size_t handles = platform::liveLocalHandleCount();
    int decoded = 0;
    for (const auto& file : filesIn(*root / "testdata", ".jpeg")) {
        SCOPED_TRACE(file.string());
        const Bytes data = readFile(file);
        ASSERT_NE(jpeg.isSupported(data), 0);
        const Dib dib = decode(jpeg, data);
        ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
        ASSERT_EQ(dib.layoutError, "");
        const auto rgb = run("convert '" + file.string() + "' -depth 8 rgb:- 2>/dev/null");
        ASSERT_TRUE(rgb.has_value());
        ASSERT_EQ(rgb->size(), std::size_t(dib.width) * std::size_t(dib.height) * 3);
        // Same library, same settings: equal but for the CMYK conversion,
        // whose rounding ImageMagick does its own way.
        int worst = 0;
        for (int y = 0; y < dib.height; ++y)
            for (int x = 0; x < dib.width; ++x) {
                const auto* p = reinterpret_cast<const std::uint8_t*>(rgb->data()) + 3 * (std::size_t(y) * dib.width + x);
                const Rgb actual = dib.pixel(x, y);
                worst = std::max({worst, std::abs(actual.red - p[0]), std::abs(actual.green - p[1]), std::abs(actual.blue - p[2])});
            }
        EXPECT_LE(worst, 1);
        ++decoded;
    }
    EXPECT_GE(decoded, 20);
    EXPECT_EQ(platform::liveLocalHandleCount(), handles);
}

} // namespace
} // namespace tavo::spitest
