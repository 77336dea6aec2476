#include "imaging/FileListBox.h"
#include "imaging/FileListNavigation.h"
#include "platform/Folder.h"

#include "FileListTestFolder.h"

#include <cstdio>
#include <sys/stat.h>

using namespace tavo;

namespace {

using Lines = std::vector<std::string>;

const TFileType kNormal{TFileAttr::ftNormal};

// Records what a widget would be told.
struct Recorder : FileListObserver {
    int fills = 0;
    int selections = 0;
    int busyBegins = 0;
    int busyEnds = 0;
    bool busyDuringFill = false;
    bool throwOnFill = false;
    void linesReplaced(const std::vector<std::string>&) override
    {
        ++fills;
        busyDuringFill = busyBegins > busyEnds;
        if (throwOnFill)
            throw std::bad_alloc();
    }
    void lineSelected(int) override { ++selections; }
    void busyBegin() override { ++busyBegins; }
    void busyEnd() override { ++busyEnds; }
};

class FileListBoxTest : public FileListFolderTest {
protected:
    // The viewer's use: folder, filter, mask from the extension, then the file.
    void load(TFileListBox& list, const std::string& name, const std::string& mask)
    {
        list.PointAtPath(root_ + "/");
        list.setFileType(kNormal);
        list.setMask(mask);
        list.PointAtPath(path(name));
    }
};

} // namespace

TEST_F(FileListBoxTest, ListsMatchingPlainFilesSortedIgnoringCase)
{
    for (const char* name : {"b.JPG", "a.jpg", "C.jpg", "2.jpg", "10.jpg", "d.png", ".hidden.jpg"})
        touch(name);
    makeFolder("x.jpg");
    touch("ro.jpg");
    chmod(path("ro.jpg").c_str(), 0444);
    mkfifo(path("pipe.jpg").c_str(), 0600);

    TFileListBox list;
    EXPECT_EQ(list.count(), 0);
    list.PointAtPath(root_ + "/");
    EXPECT_EQ(list.ListFolder(), root_);
    EXPECT_EQ(list.count(), 0) << "the empty filter lists nothing";
    list.setFileType(kNormal);
    list.setMask("*.jpg");
    EXPECT_EQ(list.lines(), (Lines{"10.jpg", "2.jpg", "a.jpg", "b.JPG", "C.jpg", "ro.jpg"}));
    EXPECT_EQ(list.SelectedIndex(), -1);
    EXPECT_EQ(cwd(), root_);
}

TEST_F(FileListBoxTest, MaskStarAndSeveralPatterns)
{
    for (const char* name : {"README", "a.jpg", "x.b", "c", "y.B", "c.d", "a.c"})
        touch(name);
    TFileListBox list;
    list.PointAtPath(root_ + "/");
    list.setFileType(kNormal);
    list.setMask("*");
    EXPECT_EQ(list.lines(), (Lines{"a.c", "a.jpg", "c", "c.d", "README", "x.b", "y.B"}));
    list.setMask("*.b;c");
    EXPECT_EQ(list.lines(), (Lines{"c", "x.b", "y.B"}));
    // A name matching two patterns is one file and one line.
    list.setMask("*.b;x*");
    EXPECT_EQ(list.lines(), (Lines{"x.b", "y.B"}));
}

TEST_F(FileListBoxTest, FileTypeSelectsFoldersHiddenAndReadOnlyEntries)
{
    touch("a.jpg");
    touch(".h.jpg");
    touch("ro.jpg");
    chmod(path("ro.jpg").c_str(), 0444);
    makeFolder("sub");
    makeFolder(".hsub");
    TFileListBox list;
    list.PointAtPath(root_ + "/");
    list.setMask("*");
    list.setFileType({TFileAttr::ftDirectory});
    EXPECT_EQ(list.lines(), (Lines{"[sub]"}));
    list.setFileType({TFileAttr::ftDirectory, TFileAttr::ftNormal});
    EXPECT_EQ(list.lines(), (Lines{"[sub]", "a.jpg", "ro.jpg"}));
    list.setFileType({TFileAttr::ftHidden});
    EXPECT_EQ(list.lines(), (Lines{".h.jpg"}));
    list.setFileType({TFileAttr::ftHidden, TFileAttr::ftNormal});
    EXPECT_EQ(list.lines(), (Lines{".h.jpg", "a.jpg", "ro.jpg"}));
    list.setFileType({TFileAttr::ftReadOnly});
    EXPECT_EQ(list.lines(), (Lines{"ro.jpg"}));
    list.setFileType({TFileAttr::ftSystem, TFileAttr::ftArchive, TFileAttr::ftVolumeID});
    EXPECT_EQ(list.count(), 0);
    // A folder line points the list into that folder.
    touch("sub/in.jpg");
    list.setFileType({TFileAttr::ftDirectory, TFileAttr::ftNormal});
    list.PointAtPath("[sub]");
    EXPECT_EQ(list.ListFolder(), path("sub"));
    EXPECT_EQ(list.lines(), (Lines{"in.jpg"}));
}

TEST_F(FileListBoxTest, SettersReadAgainOnlyOnChange)
{
    touch("a.jpg");
    TFileListBox list;
    Recorder recorder;
    list.setObserver(&recorder);
    list.PointAtPath(root_ + "/");
    list.setFileType(kNormal);
    list.setMask("*.jpg");
    const int fills = recorder.fills;
    touch("b.jpg");
    list.setMask("*.jpg");
    list.setFileType(kNormal);
    EXPECT_EQ(recorder.fills, fills);
    EXPECT_EQ(list.lines(), (Lines{"a.jpg"})) << "the list does not watch the folder";
    list.setMask("*.JPG"); // the mask compares case-sensitively
    EXPECT_EQ(recorder.fills, fills + 1);
    EXPECT_EQ(list.lines(), (Lines{"a.jpg", "b.jpg"}));
    list.ReadFolder();
    EXPECT_EQ(recorder.fills, fills + 2);
}

TEST_F(FileListBoxTest, PointingAtAFileSelectsItsLineOnce)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        touch(name);
    TFileListBox list;
    Recorder recorder;
    list.setObserver(&recorder);
    load(list, "b.jpg", "*.jpg");
    EXPECT_EQ(list.SelectedIndex(), 1);
    EXPECT_EQ(list.SelectedName(), "b.jpg");
    EXPECT_EQ(list.SelectedPath(), path("b.jpg"));

    // Again: nothing at all, not even a look at the folder.
    const Recorder before = recorder;
    std::filesystem::current_path("/");
    list.PointAtPath(path("b.jpg"));
    EXPECT_EQ(recorder.fills, before.fills);
    EXPECT_EQ(recorder.selections, before.selections);
    EXPECT_EQ(cwd(), "/");

    // Another file of the same folder: only the selection moves.
    list.PointAtPath(path("c.jpg"));
    EXPECT_EQ(recorder.fills, before.fills);
    EXPECT_EQ(list.SelectedIndex(), 2);
}

TEST_F(FileListBoxTest, PointingAtAFolderReadsItWithNoLineSelected)
{
    touch("a.jpg");
    makeFolder("sub");
    touch("sub/s.jpg");
    TFileListBox list;
    load(list, "a.jpg", "*.jpg");
    list.PointAtPath(path("sub/"));
    EXPECT_EQ(list.ListFolder(), path("sub"));
    EXPECT_EQ(list.lines(), (Lines{"s.jpg"}));
    EXPECT_EQ(list.SelectedIndex(), -1);
    EXPECT_EQ(cwd(), path("sub"));
    // A name that is a folder, and a relative text, resolve the same way.
    list.PointAtPath("..");
    EXPECT_EQ(list.ListFolder(), root_);
    list.PointAtPath("sub");
    EXPECT_EQ(list.ListFolder(), path("sub"));
    list.PointAtPath("/");
    EXPECT_EQ(list.ListFolder(), "/");
}

TEST_F(FileListBoxTest, AGoneFileFailsAndLeavesTheListAsItWas)
{
    touch("a.jpg");
    touch("gone.jpg");
    TFileListBox list;
    load(list, "a.jpg", "*.jpg");
    std::remove(path("gone.jpg").c_str());
    try {
        list.PointAtPath(path("gone.jpg"));
        FAIL() << "no error";
    } catch (const EInOutError& error) {
        EXPECT_STREQ(error.what(), "ﾌｧｲﾙが見つかりません");
    }
    EXPECT_EQ(list.lines(), (Lines{"a.jpg", "gone.jpg"}));
    EXPECT_EQ(list.SelectedName(), "a.jpg");
    EXPECT_EQ(list.ListFolder(), root_);
    EXPECT_EQ(list.Mask(), "*.jpg");
    EXPECT_EQ(cwd(), root_);
}

TEST_F(FileListBoxTest, AFolderThatWentAwayFailsEveryReading)
{
    makeFolder("sub");
    touch("sub/a.jpg");
    TFileListBox list;
    load(list, "sub/a.jpg", "*.jpg");
    std::filesystem::current_path(root_);
    std::filesystem::remove_all(path("sub"));
    EXPECT_THROW(list.setMask("*.png"), EInOutError);
    EXPECT_THROW(list.setFileType({}), EInOutError);
    EXPECT_THROW(list.ReadFolder(), EInOutError);
    EXPECT_EQ(list.Mask(), "*.jpg");
    EXPECT_EQ(list.FileType(), kNormal);
    EXPECT_EQ(list.lines(), (Lines{"a.jpg"}));
    EXPECT_EQ(list.SelectedIndex(), 0);
    EXPECT_EQ(cwd(), root_);
}

TEST_F(FileListBoxTest, AnUnlistedFileBecomesTheMask)
{
    touch("a.jpg");
    touch("notes.txt");
    TFileListBox list;
    load(list, "a.jpg", "*.jpg");
    list.PointAtPath(path("notes.txt"));
    EXPECT_EQ(list.Mask(), "notes.txt");
    EXPECT_EQ(list.lines(), (Lines{"notes.txt"}));
    EXPECT_EQ(list.SelectedIndex(), 0);
    // A text with a wildcard is a mask.
    list.PointAtPath(path("*.JPG"));
    EXPECT_EQ(list.Mask(), "*.JPG");
    EXPECT_EQ(list.lines(), (Lines{"a.jpg"}));
}

TEST_F(FileListBoxTest, NamesDifferingInCaseAreTwoFiles)
{
    touch("a.jpg");
    touch("A.JPG");
    touch("b.jpg");
    TFileListBox list;
    load(list, "a.jpg", "*.jpg");
    EXPECT_EQ(list.lines(), (Lines{"A.JPG", "a.jpg", "b.jpg"}));
    EXPECT_EQ(list.SelectedName(), "a.jpg");
    list.PointAtPath(path("A.JPG"));
    EXPECT_EQ(list.SelectedName(), "A.JPG");
    list.PointAtPath(path("a.jpg"));
    EXPECT_EQ(list.SelectedName(), "a.jpg");
    // A spelling that leads to no file is the selected file, as the original
    // platform's case-insensitive comparison has it.
    list.PointAtPath(path("A.jpg"));
    EXPECT_EQ(list.SelectedName(), "a.jpg");
}

TEST_F(FileListBoxTest, AnyNameIsListedAndItsPathOpens)
{
    const Lines names = {"my photo 1.jpg", "写真 2.jpg", "caf\xE9.jpg", "\xFF\xFE.jpg", "why?.jpg", "a*b.jpg"};
    for (const auto& name : names)
        touch(name);
    TFileListBox list;
    for (const auto& name : names) {
        load(list, name, "*.jpg");
        ASSERT_EQ(list.SelectedName(), name);
        EXPECT_EQ(list.Mask(), "*.jpg");
        FILE* file = std::fopen(list.SelectedPath().c_str(), "rb");
        EXPECT_NE(file, nullptr) << list.SelectedPath();
        if (file != nullptr)
            std::fclose(file);
    }
    EXPECT_EQ(list.count(), 6);
}

TEST_F(FileListBoxTest, SelectedIndexRefusesWhatIsNotALine)
{
    touch("a.jpg");
    touch("b.jpg");
    TFileListBox list;
    Recorder recorder;
    list.setObserver(&recorder);
    load(list, "b.jpg", "*.jpg");
    const int selections = recorder.selections;
    list.setSelectedIndex(list.count());
    list.setSelectedIndex(-2);
    list.setSelectedIndex(1);
    EXPECT_EQ(list.SelectedIndex(), 1);
    EXPECT_EQ(recorder.selections, selections);
    list.setSelectedIndex(-1);
    EXPECT_EQ(list.SelectedName(), "");
    EXPECT_EQ(list.SelectedPath(), "");
    EXPECT_EQ(recorder.selections, selections + 1);
}

TEST_F(FileListBoxTest, StepsStopAtBothEnds)
{
    TFileListBox list;
    load(list, "", "*.jpg");
    EXPECT_FALSE(selectNextLine(list)) << "empty list";
    EXPECT_FALSE(selectPreviousLine(list));

    touch("only.jpg");
    list.ReadFolder();
    EXPECT_TRUE(selectNextLine(list)) << "no line selected: the first";
    EXPECT_EQ(list.SelectedIndex(), 0);
    EXPECT_FALSE(selectNextLine(list)) << "one line";
    EXPECT_FALSE(selectPreviousLine(list));

    touch("z.jpg");
    list.ReadFolder();
    EXPECT_FALSE(selectPreviousLine(list)) << "no line selected";
    list.setSelectedIndex(1);
    EXPECT_FALSE(selectNextLine(list));
    EXPECT_EQ(list.SelectedIndex(), 1);
    EXPECT_TRUE(selectPreviousLine(list));
    EXPECT_FALSE(selectPreviousLine(list));
    EXPECT_EQ(list.SelectedIndex(), 0);
}

TEST_F(FileListBoxTest, RootFolderPathsHaveOneDelimiter)
{
    EXPECT_EQ(joinPath("/", "a.jpg"), "/a.jpg");
    EXPECT_EQ(joinPath("/pics", "a.jpg"), "/pics/a.jpg");
    TFileListBox list;
    list.PointAtPath("/");
    EXPECT_EQ(list.ListFolder(), "/");
}

TEST_F(FileListBoxTest, BusyFromTheHundredAndFirstLineUntilShown)
{
    for (int i = 0; i < 100; ++i)
        touch("p" + std::to_string(i) + ".jpg");
    TFileListBox list;
    Recorder recorder;
    list.setObserver(&recorder);
    load(list, "p0.jpg", "*.jpg");
    EXPECT_EQ(recorder.busyBegins, 0);
    touch("p100.jpg");
    list.ReadFolder();
    EXPECT_EQ(recorder.busyBegins, 1);
    EXPECT_EQ(recorder.busyEnds, 1);
    EXPECT_TRUE(recorder.busyDuringFill);
    recorder.throwOnFill = true;
    EXPECT_THROW(list.ReadFolder(), std::bad_alloc);
    EXPECT_EQ(recorder.busyBegins, 2);
    EXPECT_EQ(recorder.busyEnds, 2);
}
