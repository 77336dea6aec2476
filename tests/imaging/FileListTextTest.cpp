#include "imaging/FileListMask.h"
#include "imaging/FileListOrder.h"
#include "imaging/FileListText.h"

#include "../TestScratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>

using namespace tavo;

TEST(FileListText, FoldsCaseOfLatinAndWideLetters)
{
    EXPECT_TRUE(equalsIgnoringCase("B.JPG", "b.jpg"));
    EXPECT_TRUE(equalsIgnoringCase("ＡＢ.jpg", "ａｂ.JPG"));
    EXPECT_TRUE(equalsIgnoringCase("Ärger.jpg", "ärger.jpg"));
    EXPECT_FALSE(equalsIgnoringCase("a.jpg", "a.jpeg"));
    EXPECT_FALSE(equalsIgnoringCase("写真.jpg", "写眞.jpg"));
}

TEST(FileListText, StrayBytesStayDistinct)
{
    std::u32string folded;
    foldName("a\xE9\xC3", folded);
    ASSERT_EQ(folded.size(), 3u);
    EXPECT_EQ(folded[1], kStrayByteBase + 0xE9);
    EXPECT_EQ(folded[2], kStrayByteBase + 0xC3);
    // Overlong and surrogate forms are not UTF-8 either.
    foldName("\xC0\xAF\xED\xA0\x80", folded);
    EXPECT_EQ(folded.size(), 5u);
    EXPECT_FALSE(equalsIgnoringCase("caf\xE9", "caf\xC9"));
    EXPECT_TRUE(equalsIgnoringCase("CAF\xE9", "caf\xE9"));
}

TEST(FileListMask, MatchesWholeNamesIgnoringCase)
{
    const FileListMask jpg("*.jpg");
    EXPECT_TRUE(jpg.matches("a.jpg"));
    EXPECT_TRUE(jpg.matches("B.JPG"));
    EXPECT_TRUE(jpg.matches(".jpg"));
    EXPECT_FALSE(jpg.matches("a.jpeg"));
    EXPECT_FALSE(jpg.matches("a.jpg.txt"));
    EXPECT_TRUE(FileListMask("*").matches("README"));
    EXPECT_TRUE(FileListMask("a?c").matches("abc"));
    EXPECT_FALSE(FileListMask("a?c").matches("ac"));
    EXPECT_TRUE(FileListMask("*a*b*").matches("xxaxxbxx"));
    EXPECT_FALSE(FileListMask("*a*b*").matches("xxbxxaxx"));
    // "?" is one character, also a multi-byte one or a stray byte.
    EXPECT_TRUE(FileListMask("?.png").matches("写.png"));
    EXPECT_TRUE(FileListMask("?.png").matches("\xFF.png"));
    EXPECT_TRUE(FileListMask("*.ＪＰＧ").matches("写真.ｊｐｇ"));
    // Brackets are plain characters, as names taken as masks need.
    EXPECT_TRUE(FileListMask("[1].jpg").matches("[1].jpg"));
    EXPECT_FALSE(FileListMask("[1].jpg").matches("1.jpg"));
}

TEST(FileListMask, PatternsSplitAtSemicolons)
{
    const FileListMask mask("*.b;c");
    EXPECT_TRUE(mask.matches("x.b"));
    EXPECT_TRUE(mask.matches("C"));
    EXPECT_FALSE(mask.matches("x.c"));
    EXPECT_FALSE(FileListMask("").matches("a"));
    EXPECT_FALSE(FileListMask(";").matches("a"));
    EXPECT_TRUE(FileListMask("*.b;").matches("a.b"));
}

TEST(FileListOrder, CaseNeverDecidesAndDigitsAreCharacters)
{
    const FileListOrder order("C.UTF-8");
    std::vector<std::string> names = {"C.jpg", "b.JPG", "a.jpg", "2.jpg", "10.jpg", "_x.jpg"};
    order.sort(names);
    EXPECT_EQ(names, (std::vector<std::string>{"10.jpg", "2.jpg", "_x.jpg", "a.jpg", "b.JPG", "C.jpg"}));
}

TEST(FileListOrder, TiesAndStrayBytesGiveOneTotalOrder)
{
    const FileListOrder order("C.UTF-8");
    std::vector<std::string> names = {"a.jpg", "A.JPG", "A.jpg", "b\xFF.jpg", "b\xFE.jpg", "b.jpg", "写真.jpg",
                                      "あ.jpg", "か.jpg", "ア.jpg"};
    std::vector<std::string> shuffled = names;
    std::mt19937 random(7);
    for (int round = 0; round < 5; ++round) {
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        order.sort(shuffled);
        std::vector<std::string> first = names;
        order.sort(first);
        EXPECT_EQ(shuffled, first);
    }
    std::vector<std::string> sorted = names;
    order.sort(sorted);
    // Same-looking names sit together; kana before kanji, hiragana in its order.
    EXPECT_EQ(std::vector<std::string>(sorted.begin(), sorted.begin() + 3),
              (std::vector<std::string>{"A.JPG", "A.jpg", "a.jpg"}));
    const auto at = [&](const std::string& n) { return std::find(sorted.begin(), sorted.end(), n) - sorted.begin(); };
    EXPECT_LT(at("b.jpg"), at("b\xFE.jpg"));
    EXPECT_LT(at("b\xFE.jpg"), at("b\xFF.jpg"));
    EXPECT_LT(at("あ.jpg"), at("か.jpg"));
    EXPECT_LT(at("か.jpg"), at("写真.jpg"));
    EXPECT_LT(at("ア.jpg"), at("写真.jpg"));
}

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {
// glibc keeps a copy of the LOCPATH list it never frees; that is its own.
struct LocaleLoadingLeaksIgnored {
#if defined(__SANITIZE_ADDRESS__)
    LocaleLoadingLeaksIgnored() { __lsan_disable(); }
    ~LocaleLoadingLeaksIgnored() { __lsan_enable(); }
#endif
};

bool haveLocale(const char* name)
{
    const locale_t probe = newlocale(LC_COLLATE_MASK, name, static_cast<locale_t>(nullptr));
    if (probe == static_cast<locale_t>(nullptr))
        return false;
    freelocale(probe);
    return true;
}
} // namespace

// A Japanese user's collation. Machines seldom have it installed, so the test
// compiles it from the locale sources into a folder of its own when it can.
TEST(FileListOrder, JapaneseLocaleKeepsTheSameRules)
{
    [[maybe_unused]] const LocaleLoadingLeaksIgnored ignored;
    if (!haveLocale("ja_JP.UTF-8")) {
        const std::string folder =
            test::uniqueScratchFolder("test-locales", std::filesystem::path(TAVO_BINARY_DIR) / "test-scratch").string();
        const std::string command = "localedef -i ja_JP -f UTF-8 " + folder + "/ja_JP.UTF-8 >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            GTEST_SKIP() << "ja_JP.UTF-8 is neither installed nor buildable with localedef";
        setenv("LOCPATH", folder.c_str(), 1);
        if (!haveLocale("ja_JP.UTF-8"))
            GTEST_SKIP() << "ja_JP.UTF-8 could not be loaded";
    }
    const FileListOrder order("ja_JP.UTF-8");
    std::vector<std::string> names = {"か.jpg", "C.jpg", "10.jpg", "b.JPG", "あ.jpg", "2.jpg", "a.jpg", "A.JPG"};
    order.sort(names);
    EXPECT_EQ(names, (std::vector<std::string>{"10.jpg", "2.jpg", "A.JPG", "a.jpg", "b.JPG", "C.jpg", "あ.jpg",
                                               "か.jpg"}));
    // The locale's own kanji order (JIS), not the code points: 亜 before 一.
    EXPECT_TRUE(order.less("亜.jpg", "一.jpg"));
    EXPECT_FALSE(FileListOrder("C.UTF-8").less("亜.jpg", "一.jpg"));
}
