#include "platform/InstanceLock.h"
#include "platform/RuntimeFolder.h"
#include "platform/SystemError.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace tavo::platform;

namespace {

class RuntimeFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = "/tmp/tavo-runtime-test-XXXXXX";
        root_ = mkdtemp(pattern.data());
        if (const char* old = std::getenv("XDG_RUNTIME_DIR"))
            saved_ = old;
        unsetenv("XDG_RUNTIME_DIR");
    }
    void TearDown() override
    {
        if (saved_)
            setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
        std::filesystem::remove_all(root_);
    }
    std::string own() const { return root_ + "/tavotavo-" + std::to_string(geteuid()); }

    std::string root_;
    std::optional<std::string> saved_;
};

unsigned modeOf(const std::string& path)
{
    struct stat info {};
    lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

} // namespace

TEST_F(RuntimeFolderTest, APrivateRuntimeFolderIsUsedAsItIs)
{
    const std::string xdg = root_ + "/xdg";
    ASSERT_EQ(mkdir(xdg.c_str(), 0700), 0);
    setenv("XDG_RUNTIME_DIR", xdg.c_str(), 1);
    EXPECT_EQ(runtimeFolder(root_), xdg);

    // One that others may enter is not trusted; the folder under tmp is used.
    ASSERT_EQ(chmod(xdg.c_str(), 0755), 0);
    EXPECT_EQ(runtimeFolder(root_), own());
    EXPECT_EQ(modeOf(own()), 0700u);
}

TEST_F(RuntimeFolderTest, TheFolderUnderTmpIsCreatedPrivateAndReused)
{
    EXPECT_EQ(runtimeFolder(root_), own());
    EXPECT_EQ(modeOf(own()), 0700u);
    EXPECT_EQ(runtimeFolder(root_), own());
}

TEST_F(RuntimeFolderTest, AFolderThatIsNotOursAloneIsRefused)
{
    ASSERT_EQ(mkdir(own().c_str(), 0755), 0);
    EXPECT_THROW(runtimeFolder(root_), ESystemError);

    ASSERT_EQ(chmod(own().c_str(), 0700), 0);
    ASSERT_EQ(chown(own().c_str(), geteuid() + 1, getegid()), 0) << "tests run as root";
    EXPECT_THROW(runtimeFolder(root_), ESystemError);
    ASSERT_EQ(rmdir(own().c_str()), 0);

    // A link planted in its place is refused even when it leads to a private folder.
    const std::string elsewhere = root_ + "/elsewhere";
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
    ASSERT_EQ(symlink(elsewhere.c_str(), own().c_str()), 0);
    EXPECT_THROW(runtimeFolder(root_), ESystemError);
}

TEST_F(RuntimeFolderTest, TheLockIsOnlyForOneHolderAndLeavesWithIt)
{
    const std::string folder = runtimeFolder(root_);
    auto first = InstanceLock::tryAcquire(folder);
    ASSERT_TRUE(first);
    EXPECT_FALSE(InstanceLock::tryAcquire(folder));
    EXPECT_EQ(modeOf(folder + "/TavoTavo"), 0600u);
    first.reset();
    EXPECT_TRUE(InstanceLock::tryAcquire(folder));
}

TEST_F(RuntimeFolderTest, OfProcessesRacingForTheLockExactlyOneWins)
{
    const std::string folder = runtimeFolder(root_);
    for (int round = 0; round < 5; ++round) {
        int start[2], done[2], tried[2];
        ASSERT_EQ(pipe(start), 0);
        ASSERT_EQ(pipe(done), 0);
        ASSERT_EQ(pipe(tried), 0);
        std::vector<pid_t> children;
        for (int i = 0; i < 8; ++i) {
            const pid_t child = fork();
            if (child == 0) {
                close(start[1]);
                close(done[1]);
                close(tried[0]);
                char go;
                if (read(start[0], &go, 1) != 0) // everyone starts when the pipe closes
                    _exit(3);
                const auto lock = InstanceLock::tryAcquire(folder);
                const bool won = lock.has_value();
                [[maybe_unused]] auto told = write(tried[1], "t", 1);
                close(tried[1]);
                if (won) { // hold it until all have tried
                    char end;
                    [[maybe_unused]] auto ignored = read(done[0], &end, 1);
                }
                _exit(won ? 0 : 1);
            }
            children.push_back(child);
        }
        close(start[0]);
        close(done[0]);
        close(tried[1]);
        close(start[1]);
        // The winner holds the lock until every one has tried, however slowly
        // a loaded machine runs them.
        char mark;
        for (int i = 0; i < 8; ++i)
            ASSERT_EQ(read(tried[0], &mark, 1), 1);
        close(tried[0]);
        close(done[1]);
        int winners = 0;
        for (pid_t child : children) {
            int status = 0;
            waitpid(child, &status, 0);
            ASSERT_TRUE(WIFEXITED(status));
            ASSERT_NE(WEXITSTATUS(status), 3);
            winners += WEXITSTATUS(status) == 0;
        }
        EXPECT_EQ(winners, 1) << "round " << round;
    }
}

TEST_F(RuntimeFolderTest, AKilledHolderReleasesTheLock)
{
    const std::string folder = runtimeFolder(root_);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        auto lock = InstanceLock::tryAcquire(folder);
        [[maybe_unused]] auto ignored = write(ready[1], lock ? "y" : "n", 1);
        pause();
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    ASSERT_EQ(answer, 'y');
    EXPECT_FALSE(InstanceLock::tryAcquire(folder));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(InstanceLock::tryAcquire(folder));
    close(ready[0]);
    close(ready[1]);
}
