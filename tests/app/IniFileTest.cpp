#include "app/IniFile.h"

#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace tavo;
using tavo::test::ScratchFolder;

namespace {

std::size_t entriesIn(const std::string& folder)
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

} // namespace

TEST(IniFile, MissingFileSectionOrKeyGivesTheDefault)
{
    ScratchFolder folder;
    TIniFile ini(folder.file("TavoTavo.INI"));
    EXPECT_EQ(ini.readString("Mode", "Button", "WindowWidth"), "WindowWidth");
    EXPECT_EQ(ini.readInteger("Mode", "Move", 1), 1);
    EXPECT_TRUE(ini.readBool("Mode", "UseClear", true));

    test::writeText(ini.fileName(), "[Mode]\nMove=4\n");
    EXPECT_EQ(ini.readInteger("Other", "Move", 9), 9);
    EXPECT_EQ(ini.readInteger("Mode", "FLBoxShowX", 30), 30);
    EXPECT_EQ(ini.readInteger("Mode", "Move", 1), 4);
}

TEST(IniFile, SectionsAndKeysCompareWithoutCase)
{
    ScratchFolder folder;
    TIniFile ini(folder.file("TavoTavo.INI"));
    test::writeText(ini.fileName(), "[winpos]\r\n  TOP = 17 \r\n");
    EXPECT_EQ(ini.readInteger("WinPos", "Top", 0), 17);

    ini.writeInteger("WINPOS", "top", 18);
    // The entry is changed in place, spelled as the file spells it.
    EXPECT_EQ(test::readText(ini.fileName()), "[winpos]\r\n  TOP=18\r\n");
}

TEST(IniFile, WritesCreateFileSectionAndKeyAndKeepEverythingElse)
{
    ScratchFolder folder;
    TIniFile ini(folder.file("TavoTavo.INI"));
    ini.writeString("Mode", "Button", "Full");
    EXPECT_EQ(test::readText(ini.fileName()), "[Mode]\nButton=Full\n");

    const std::string original = "; written by hand\n"
                                 "[Mode]\n"
                                 "Button=Full\n"
                                 "Colour of the moon\n"
                                 "Future=yes\n"
                                 "; about the next section\n"
                                 "\n"
                                 "[Plugins]\n"
                                 "Order=png,gif\n";
    test::writeText(ini.fileName(), original);
    ini.writeInteger("Mode", "Move", 3);
    ini.writeString("Mode", "Button", "NoZoom");
    ini.writeString("ExTools", "ExTool1", "/usr/bin/gimp");
    EXPECT_EQ(test::readText(ini.fileName()), "; written by hand\n"
                                              "[Mode]\n"
                                              "Button=NoZoom\n"
                                              "Colour of the moon\n"
                                              "Future=yes\n"
                                              "Move=3\n"
                                              "; about the next section\n"
                                              "\n"
                                              "[Plugins]\n"
                                              "Order=png,gif\n"
                                              "[ExTools]\n"
                                              "ExTool1=/usr/bin/gimp\n");
    // Every write replaced the file whole: no temporary file is left beside it.
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

TEST(IniFile, OnlyTheFirstOfRepeatedSectionsAndKeysCounts)
{
    ScratchFolder folder;
    TIniFile ini(folder.file("TavoTavo.INI"));
    test::writeText(ini.fileName(), "[Mode]\nMove=2\nMove=3\n[Mode]\nMove=4\nFLBoxShowX=50\n");
    EXPECT_EQ(ini.readInteger("Mode", "Move", 1), 2);
    EXPECT_EQ(ini.readInteger("Mode", "FLBoxShowX", 30), 30);
}

TEST(IniFile, FileCutOffMidLine)
{
    ScratchFolder folder;
    TIniFile ini(folder.file("TavoTavo.INI"));
    test::writeText(ini.fileName(), "[Mode]\nMove=7\nFLBoxSh");
    EXPECT_EQ(ini.readInteger("Mode", "Move", 1), 7);
    EXPECT_EQ(ini.readInteger("Mode", "FLBoxShowX", 30), 30);
    ini.writeInteger("Mode", "UseClear", 1);
    EXPECT_EQ(test::readText(ini.fileName()), "[Mode]\nMove=7\nUseClear=1\nFLBoxSh");

    test::writeText(ini.fileName(), "[Mode]\nMove=0x1");
    EXPECT_EQ(ini.readInteger("Mode", "Move", 1), 1);
    ini.writeInteger("Mode", "FLBoxShowX", 40);
    EXPECT_EQ(test::readText(ini.fileName()), "[Mode]\nMove=0x1\nFLBoxShowX=40\n");

    test::writeText(ini.fileName(), "[Mo");
    EXPECT_EQ(ini.readInteger("Mode", "Move", 1), 1);
    ini.writeInteger("Mode", "Move", 2);
    EXPECT_EQ(test::readText(ini.fileName()), "[Mo\n[Mode]\nMove=2\n");
}

TEST(IniFile, LongValuesAreCutAtACharacterBoundary)
{
    ScratchFolder folder;
    TIniFile ini(folder.file("TavoTavo.INI"));
    const std::string tool = "/" + std::string(1021, 'a') + "写真";
    ini.writeString("ExTools", "ExTool1", tool);
    EXPECT_EQ(ini.readString("ExTools", "ExTool1", ""), "/" + std::string(1021, 'a'));
}

TEST(IniFile, RefusedWritesRaiseAndLeaveTheFileAsItWas)
{
    ScratchFolder folder;
    ASSERT_EQ(chmod(folder.path().c_str(), 0755), 0);
    const std::string readOnly = folder.file("ro");
    const std::string path = readOnly + "/TavoTavo.INI";
    ASSERT_EQ(mkdir(readOnly.c_str(), 0755), 0);
    test::writeText(path, "[Mode]\nMove=5\n");
    ASSERT_EQ(chown(readOnly.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(readOnly.c_str(), 0555), 0);

    EXPECT_TRUE(test::asUnprivilegedUser([&] {
        TIniFile ini(path);
        try {
            ini.writeInteger("Mode", "Move", 6);
            return false;
        } catch (const EIniFileException& error) {
            return std::string(error.what()) == path + " に書き込めません" && ini.readInteger("Mode", "Move", 1) == 5;
        }
    }));
    EXPECT_EQ(test::readText(path), "[Mode]\nMove=5\n");
    EXPECT_EQ(entriesIn(readOnly), 1u);

    // A file the user made read-only is not replaced through its writable folder.
    ASSERT_EQ(chmod(readOnly.c_str(), 0755), 0);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_TRUE(test::asUnprivilegedUser([&] {
        TIniFile ini(path);
        try {
            ini.writeInteger("Mode", "Move", 6);
            return false;
        } catch (const EIniFileException&) {
            return true;
        }
    }));
    EXPECT_EQ(test::readText(path), "[Mode]\nMove=5\n");
}

TEST(IniFile, ALineBreakInAValueIsRefusedRatherThanSplittingTheEntry)
{
    ScratchFolder folder;
    TIniFile ini(folder.file("TavoTavo.INI"));
    ini.writeString("ExTools", "ExTool1", "/bin/a");
    EXPECT_THROW(ini.writeString("ExTools", "ExTool1", "/bin/a\n[WinPos]"), EIniFileException);
    EXPECT_EQ(test::readText(ini.fileName()), "[ExTools]\nExTool1=/bin/a\n");
}

TEST(IniFile, MissingFoldersAreCreatedPrivate)
{
    ScratchFolder folder;
    TIniFile ini(folder.path() + "/config/TavoTavo/TavoTavo.INI");
    ini.writeBool("Mode", "UseClear", true);
    EXPECT_TRUE(ini.readBool("Mode", "UseClear", false));
    struct stat info {};
    ASSERT_EQ(stat((folder.path() + "/config/TavoTavo").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(IniFile, ALinkedFileIsWrittenThroughTheLink)
{
    ScratchFolder folder;
    test::writeText(folder.file("real.ini"), "[Mode]\nMove=2\n");
    ASSERT_EQ(symlink("real.ini", folder.file("TavoTavo.INI").c_str()), 0);
    TIniFile ini(folder.file("TavoTavo.INI"));
    ini.writeInteger("Mode", "Move", 3);
    EXPECT_TRUE(std::filesystem::is_symlink(folder.file("TavoTavo.INI")));
    EXPECT_EQ(test::readText(folder.file("real.ini")), "[Mode]\nMove=3\n");
}
