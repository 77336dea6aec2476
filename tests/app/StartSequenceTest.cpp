#include "app/CommandLine.h"
#include "app/SendProcess.h"
#include "app/StartSequence.h"

#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sstream>
#include <thread>

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
    ASSERT_TRUE(viewer->server);

    std::optional<ViewerInstance> second;
    std::ostringstream secondErrors;
    std::thread messenger([&] { second = startInstance(folder.path(), {"b.png"}, "/work", secondErrors); });
    auto requests = serveFor(*viewer->server, 3s);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind(), HandOverKind::kOpenFile);
    EXPECT_EQ(requests[0].path(), "/work/b.png");
    requests.clear();
    messenger.join();
    EXPECT_FALSE(second);
    EXPECT_EQ(errors.str() + secondErrors.str(), "");

    // Two arguments: the viewer is only asked to come forward.
    std::thread forward([&] { second = startInstance(folder.path(), {"a", "b"}, "/work", secondErrors); });
    requests = serveFor(*viewer->server, 3s);
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
    EXPECT_TRUE(second->server);
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
