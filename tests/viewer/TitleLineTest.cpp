#include "viewer/core/ErrorText.h"
#include "viewer/core/StartupPicture.h"
#include "viewer/core/TitleLine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace tavo {
namespace {

TEST(TitleLine, NamesTheFileItsSizeAndTheTruncatedRatio)
{
    EXPECT_EQ(titleLine("/pictures/a.jpg", 1024, 768, 0.5), "TavoTavo [a.jpg(1024 × 768)] - 拡大率 50%");
    EXPECT_EQ(titleLine("", 320, 240, 1.0), "TavoTavo [(320 × 240)] - 拡大率 100%");
    EXPECT_EQ(titleLine("bare.bmp", 0, 0, 2.0), "TavoTavo [bare.bmp(0 × 0)] - 拡大率 200%");
    EXPECT_EQ(titleLine("/写真/表.jpg", 5, 6, 0.999), "TavoTavo [表.jpg(5 × 6)] - 拡大率 99%");
}

TEST(TitleLine, PercentageTruncatesTowardZero)
{
    EXPECT_EQ(zoomPercentage(0.999), 99);
    EXPECT_EQ(zoomPercentage(0.29), 28);  // 28.999999999999996 in floating point
    EXPECT_EQ(zoomPercentage(-0.015), -1);
    EXPECT_EQ(zoomPercentage(std::nan("")), 0);
    EXPECT_EQ(zoomPercentage(1e300), std::numeric_limits<std::int64_t>::max());
}

TEST(ErrorText, FullStopWhenTheLastCharacterSortsAfterTheFullStop)
{
    EXPECT_EQ(errorReportText("ﾌｧｲﾙ /x は開けません"), "ﾌｧｲﾙ /x は開けません.");
    EXPECT_EQ(errorReportText("JPEG ｴﾗｰ #42"), "JPEG ｴﾗｰ #42.");
    EXPECT_EQ(errorReportText("done."), "done.");
    EXPECT_EQ(errorReportText("stop!"), "stop!");
    EXPECT_EQ(errorReportText("(a)"), "(a)");
    EXPECT_EQ(errorReportText("a-"), "a-");
    EXPECT_EQ(errorReportText("a/"), "a/.");
    EXPECT_EQ(errorReportText(""), "");
}

TEST(StartupPicture, Is320By240With256Colours)
{
    const Bitmap picture = startupPicture();
    EXPECT_EQ(picture.width(), 320);
    EXPECT_EQ(picture.height(), 240);
    EXPECT_EQ(picture.bitCount(), 8);
    EXPECT_EQ(picture.palette().size(), 256u);
    std::set<int> used;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            used.insert(picture.row(y)[x]);
    EXPECT_GT(used.size(), 100u);  // a picture, not a flat fill
}

} // namespace
} // namespace tavo
