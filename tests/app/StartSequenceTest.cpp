#include "app/CommandLine.h"
#include "app/SendProcess.h"
#include "app/StartSequence.h"

#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <poll.h>
#include <sstream>
#include <thread>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace tavo;
using namespace std::chrono_literals;
using platform::HandOverKind;
using tavo::test::ScratchFolder;

namespace {

std::vector<platform::ReceivedHandOver> serveFor(platform::HandOverServer& server, std::chrono::milliseconds time)
{
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
        pollfd entry{server.notifyFd(), POLLIN, 0};
        poll(&entry, 1, 10);
        auto requests = server.service();
        if (!requests.empty())
            return requests;
    }
    return {};
}

} // namespace

TEST(SendProcess, OnlyASingleArgumentIsHandedOverAndMadeAbsolute)
{
    EXPECT_EQ(planHandOver({}, "/home/u").kind, HandOverKind::kComeForward);
    EXPECT_EQ(planHandOver({"a.jpg", "b.jpg"}, "/home/u").kind, HandOverKind::kComeForward);
    EXPECT_EQ(planHandOver({""}, "/home/u").kind, HandOverKind::kComeForward);

    HandOverPlan plan = planHandOver({"pics/a b.jpg"}, "/home/u");
    EXPECT_EQ(plan.kind, HandOverKind::kOpenFile);
    EXPECT_EQ(plan.path, "/home/u/pics/a b.jpg");
    EXPECT_EQ(planHandOver({"a.jpg"}, "/").path, "/a.jpg");
    EXPECT_EQ(planHandOver({"/abs/a.jpg"}, "/home/u").path, "/abs/a.jpg");
    EXPECT_EQ(planHandOver({"/abs/a.jpg"}, "").path, "/abs/a.jpg");

    plan = planHandOver({"a.jpg"}, "");
    EXPECT_EQ(plan.kind, HandOverKind::kComeForward);
    EXPECT_FALSE(plan.refusal.empty());
}

TEST(SendProcess, APathBeyondThePlatformLimitIsRefusedWithAMessage)
{
    const std::string longest = "/" + std::string(platform::kMaxHandOverPath - 1, 'a');
    EXPECT_EQ(planHandOver({longest}, "/").kind, HandOverKind::kOpenFile);
    const HandOverPlan plan = planHandOver({longest + "a"}, "/");
    EXPECT_EQ(plan.kind, HandOverKind::kComeForward);
    EXPECT_NE(plan.refusal.find("4096"), std::string::npos);
}

TEST(StartSequence, TheFirstBecomesTheViewerAndTheSecondHandsOverItsFile)
{
    ScratchFolder folder;
    std::ostringstream errors;
    auto viewer = startInstance(folder.path(), {}, "/", errors);
    ASSERT_TRUE(viewer);
    ASSERT_TRUE(viewer->lock);
    EXPECT_EQ(viewer->folder, folder.path());
    const auto server = openHandOverServer(*viewer, errors);
    ASSERT_TRUE(server);

    std::optional<ViewerInstance> second;
    std::ostringstream secondErrors;
    std::thread messenger([&] { second = startInstance(folder.path(), {"b.png"}, "/work", secondErrors); });
    auto requests = serveFor(*server, 3s);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind(), HandOverKind::kOpenFile);
    EXPECT_EQ(requests[0].path(), "/work/b.png");
    requests.clear();
    messenger.join();
    EXPECT_FALSE(second);
    EXPECT_EQ(errors.str() + secondErrors.str(), "");

    // Two arguments: the viewer is only asked to come forward.
    std::thread forward([&] { second = startInstance(folder.path(), {"a", "b"}, "/work", secondErrors); });
    requests = serveFor(*server, 3s);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind(), HandOverKind::kComeForward);
    requests.clear();
    forward.join();
    EXPECT_FALSE(second);
}

TEST(StartSequence, ASecondCopyWaitsForAViewerThatIsStillStarting)
{
    ScratchFolder folder;
    auto lock = platform::InstanceLock::tryAcquire(folder.path());
    ASSERT_TRUE(lock);
    std::optional<ViewerInstance> second;
    std::ostringstream errors;
    std::thread messenger([&] { second = startInstance(folder.path(), {"/a.jpg"}, "/", errors); });
    std::this_thread::sleep_for(300ms);
    platform::HandOverServer server(folder.path());
    auto requests = serveFor(server, 3s);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path(), "/a.jpg");
    requests.clear();
    messenger.join();
    EXPECT_FALSE(second);
}

TEST(StartSequence, ASecondCopyGivesUpOrTakesOverWhenNoViewerListens)
{
    ScratchFolder folder;
    auto lock = platform::InstanceLock::tryAcquire(folder.path());
    ASSERT_TRUE(lock);
    std::ostringstream errors;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(startInstance(folder.path(), {"/a.jpg"}, "/", errors, 150ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);

    // The viewer ends while the second copy waits: the second becomes the viewer.
    std::optional<ViewerInstance> second;
    std::thread starter([&] { second = startInstance(folder.path(), {"/a.jpg"}, "/", errors, 3s); });
    std::this_thread::sleep_for(200ms);
    lock.reset();
    starter.join();
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->lock);
}

TEST(StartSequence, ASecondCopyTakesOverFromAViewerThatEndsWithoutAnswering)
{
    ScratchFolder folder;
    auto lock = platform::InstanceLock::tryAcquire(folder.path());
    ASSERT_TRUE(lock);
    // A viewer that is closing: it still takes connections in, but never answers.
    const std::string socketPath = folder.path() + "/TfrmTavo2MainForm";
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);

    std::optional<ViewerInstance> second;
    std::ostringstream errors;
    std::thread starter([&] { second = startInstance(folder.path(), {"/a.jpg"}, "/", errors, 3s); });
    const int accepted = accept(listener, nullptr, nullptr);
    ASSERT_GE(accepted, 0);
    close(listener);
    unlink(socketPath.c_str());
    close(accepted);
    std::this_thread::sleep_for(100ms);
    lock.reset(); // the process has ended
    starter.join();
    ASSERT_TRUE(second) << "the file would be lost";
    EXPECT_TRUE(second->lock);
}

TEST(StartSequence, TheLockPassesToTheWindowProgramThroughTheEnvironment)
{
    ScratchFolder folder;
    const std::string runtime = folder.path() + "/with blank";
    ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
    std::ostringstream errors;
    auto viewer = startInstance(runtime, {}, "/", errors);
    ASSERT_TRUE(viewer && viewer->lock);
    // What the exec keeps open; a copy here, as this test stays the same program.
    const int fd = dup(viewer->lock->keepAcrossExec());
    setenv("TAVOTAVO_INSTANCE", (std::to_string(fd) + " " + runtime).c_str(), 1);
    auto inherited = inheritedViewerInstance();
    EXPECT_EQ(std::getenv("TAVOTAVO_INSTANCE"), nullptr) << "tools started later would see it";
    ASSERT_TRUE(inherited);
    ASSERT_TRUE(inherited->lock);
    EXPECT_EQ(inherited->folder, runtime);
    viewer->lock.reset();
    EXPECT_FALSE(platform::InstanceLock::tryAcquire(runtime)) << "the inherited descriptor holds it";
    inherited->lock.reset();
    EXPECT_TRUE(platform::InstanceLock::tryAcquire(runtime));

    // A number that is not the lock file is refused rather than trusted.
    setenv("TAVOTAVO_INSTANCE", ("0 " + runtime).c_str(), 1);
    EXPECT_FALSE(inheritedViewerInstance());
    setenv("TAVOTAVO_INSTANCE", "-1 ", 1);
    const auto standalone = inheritedViewerInstance();
    ASSERT_TRUE(standalone);
    EXPECT_FALSE(standalone->lock);
}

TEST(CommandLine, ArgumentsAreThoseTheProgramKept)
{
    EXPECT_EQ(CommandLineArg(1), "");
    const char* argv[] = {"/usr/bin/tavotavo", "a b.jpg"};
    setCommandLine(2, argv);
    EXPECT_EQ(CommandLineArg(0), "/usr/bin/tavotavo");
    EXPECT_EQ(CommandLineArg(1), "a b.jpg");
    EXPECT_EQ(CommandLineArg(2), "");
    EXPECT_EQ(CommandLineArg(-1), "");
    setCommandLine(0, argv);
}
