#include "platform/Folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace tavo;
using namespace tavo::platform;
namespace fs = std::filesystem;

namespace {

class FolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tavo-folder-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        startDir_ = fs::current_path();
    }
    void TearDown() override
    {
        fs::current_path(startDir_);
        fs::remove_all(root_);
    }
    std::string path(const std::string& name) const { return root_ + "/" + name; }
    void touch(const std::string& name) const { std::ofstream(path(name)) << "x"; }

    std::map<std::string, EntryKind> readAll(const std::string& folder) const
    {
        std::map<std::string, EntryKind> entries;
        FolderReader reader(folder);
        FolderEntry entry;
        while (reader.next(entry))
            entries[entry.name] = entry.kind;
        return entries;
    }

    std::string root_;
    fs::path startDir_;
};

int errnoOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const EInOutError& error) {
        return error.errnoValue();
    }
    return 0;
}

} // namespace

TEST_F(FolderTest, ReadsEveryEntryWithItsKindFollowingLinks)
{
    touch("a.jpg");
    fs::create_directory(path("sub"));
    fs::create_symlink("a.jpg", path("link.jpg"));
    fs::create_symlink("sub", path("linkdir"));
    fs::create_symlink("nowhere", path("dangling"));
    ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);

    const auto entries = readAll(root_);
    EXPECT_EQ(entries.size(), 8u);
    EXPECT_EQ(entries.at("."), EntryKind::Folder);
    EXPECT_EQ(entries.at(".."), EntryKind::Folder);
    EXPECT_EQ(entries.at("a.jpg"), EntryKind::File);
    EXPECT_EQ(entries.at("sub"), EntryKind::Folder);
    EXPECT_EQ(entries.at("link.jpg"), EntryKind::File);
    EXPECT_EQ(entries.at("linkdir"), EntryKind::Folder);
    EXPECT_EQ(entries.at("dangling"), EntryKind::Other);
    EXPECT_EQ(entries.at("pipe"), EntryKind::Other);
}

TEST_F(FolderTest, NamesAreBytesPassedUnchanged)
{
    const std::string notUtf8 = "caf\xE9 \xFF.jpg";
    touch(notUtf8);
    touch("写真 1.jpg");
    const auto entries = readAll(root_);
    EXPECT_TRUE(entries.count(notUtf8));
    EXPECT_TRUE(entries.count("写真 1.jpg"));
    EXPECT_TRUE(fileExists(path(notUtf8)));
}

TEST_F(FolderTest, ReadOnlyMeansNoWriteBitForAnyone)
{
    touch("ro.jpg");
    touch("rw.jpg");
    ASSERT_EQ(chmod(path("ro.jpg").c_str(), 0444), 0);
    FolderReader reader(root_);
    FolderEntry entry;
    std::map<std::string, bool> readOnly;
    while (reader.next(entry))
        readOnly[entry.name] = reader.isReadOnly(entry);
    EXPECT_TRUE(readOnly.at("ro.jpg"));
    EXPECT_FALSE(readOnly.at("rw.jpg"));
}

TEST_F(FolderTest, ErrorTextsFollowTheSystemErrorCode)
{
    EXPECT_STREQ(EInOutError(ENOENT).what(), "ﾌｧｲﾙが見つかりません");
    EXPECT_EQ(EInOutError(ENOENT).errorCode(), 2);
    EXPECT_STREQ(EInOutError(ENOTDIR).what(), "不正なﾌｧｲﾙ名です");
    EXPECT_STREQ(EInOutError(ENAMETOOLONG).what(), "不正なﾌｧｲﾙ名です");
    EXPECT_EQ(EInOutError(ENAMETOOLONG).errorCode(), 3);
    EXPECT_STREQ(EInOutError(EACCES).what(), "ﾌｧｲﾙへのｱｸｾｽが拒否されました");
    EXPECT_STREQ(EInOutError(EPERM).what(), "ﾌｧｲﾙへのｱｸｾｽが拒否されました");
    EXPECT_EQ(EInOutError(EACCES).errorCode(), 5);
    // Errors without a text of their own show their errno, which may collide
    // with a mapped code's number (EIO is 5) without taking its text.
    EXPECT_STREQ(EInOutError(EIO).what(), "I/O ｴﾗｰ (5)");
    EXPECT_STREQ(EInOutError(ELOOP).what(), "I/O ｴﾗｰ (40)");
}

TEST_F(FolderTest, FailedCallsRaiseTheirErrno)
{
    touch("file");
    fs::create_symlink("loop", path("loop"));
    EXPECT_EQ(errnoOf([&] { setCurrentDirectory(path("missing")); }), ENOENT);
    EXPECT_EQ(errnoOf([&] { setCurrentDirectory(path("file")); }), ENOTDIR);
    EXPECT_EQ(errnoOf([&] { setCurrentDirectory(path(std::string(300, 'n'))); }), ENAMETOOLONG);
    EXPECT_EQ(errnoOf([&] { setCurrentDirectory(path("loop")); }), ELOOP);
    EXPECT_EQ(errnoOf([&] { FolderReader reader(path("missing")); }), ENOENT);
    if (geteuid() != 0) { // root passes every permission check
        fs::create_directory(path("closed"));
        chmod(path("closed").c_str(), 0);
        EXPECT_EQ(errnoOf([&] { setCurrentDirectory(path("closed")); }), EACCES);
        chmod(path("closed").c_str(), 0700);
    }
}

TEST_F(FolderTest, CurrentDirectoryIsSetAndPutBack)
{
    fs::create_directory(path("sub"));
    const std::string resolved = fs::canonical(root_);
    setCurrentDirectory(root_);
    {
        CurrentDirectoryKeeper keeper;
        setCurrentDirectory(path("sub"));
        EXPECT_EQ(currentDirectory(), resolved + "/sub");
    }
    EXPECT_EQ(currentDirectory(), resolved);
    {
        CurrentDirectoryKeeper keeper;
        setCurrentDirectory(path("sub"));
        keeper.dismiss();
    }
    EXPECT_EQ(currentDirectory(), resolved + "/sub");
}

TEST_F(FolderTest, ExistenceTellsFilesFromFolders)
{
    touch("a.jpg");
    fs::create_directory(path("sub"));
    EXPECT_TRUE(fileExists(path("a.jpg")));
    EXPECT_FALSE(fileExists(path("sub")));
    EXPECT_FALSE(fileExists(path("gone.jpg")));
    EXPECT_TRUE(folderExists(path("sub")));
    EXPECT_FALSE(folderExists(path("a.jpg")));
    EXPECT_EQ(fileIdentity(path("a.jpg")), fileIdentity(root_ + "/./a.jpg"));
    EXPECT_NE(fileIdentity(path("a.jpg")), fileIdentity(path("sub")));
    EXPECT_FALSE(fileIdentity(path("gone.jpg")));
}
