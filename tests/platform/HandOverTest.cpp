#include "platform/HandOverClient.h"
#include "platform/HandOverServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace tavo::platform;
using namespace std::chrono_literals;

namespace {

class HandOverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = "/tmp/tavo-handover-test-XXXXXX";
        folder_ = mkdtemp(pattern.data());
        server_ = std::make_unique<HandOverServer>(folder_);
    }
    void TearDown() override
    {
        server_.reset();
        std::filesystem::remove_all(folder_);
    }

    // A raw client, for sending what the real client never would.
    int rawClient() const
    {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s/TfrmTavo2MainForm", folder_.c_str());
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        return fd;
    }

    // Serves until a request arrives or the time is up.
    std::vector<ReceivedHandOver> serveFor(std::chrono::milliseconds time)
    {
        const auto end = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < end) {
            pollfd entry{server_->notifyFd(), POLLIN, 0};
            poll(&entry, 1, 10);
            auto requests = server_->service();
            if (!requests.empty())
                return requests;
        }
        return {};
    }

    // The reply byte the server sent, 0 for a closed connection without one.
    static char replyOf(int fd)
    {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, 2000) != 1)
            return '?';
        char reply = 0;
        return recv(fd, &reply, 1, 0) == 1 ? reply : 0;
    }

    std::string folder_;
    std::unique_ptr<HandOverServer> server_;
};

} // namespace

TEST_F(HandOverTest, TheReplyComesOnlyAfterTheRequestWasHandled)
{
    std::atomic<int> reply{-1};
    std::thread client([&] {
        auto connection = HandOverConnection::connect(folder_);
        ASSERT_TRUE(connection);
        reply = static_cast<int>(connection->exchange(encodeHandOverRequest(HandOverKind::kOpenFile, "/p/写真 1.jpg"), 5s));
    });
    {
        auto requests = serveFor(2s);
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].kind(), HandOverKind::kOpenFile);
        EXPECT_EQ(requests[0].path(), "/p/写真 1.jpg");
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(reply.load(), -1) << "replied before the handler finished";
    }
    client.join();
    EXPECT_EQ(reply.load(), static_cast<int>(HandOverReply::kHandled));

    std::thread forward([&] {
        auto connection = HandOverConnection::connect(folder_);
        ASSERT_TRUE(connection);
        reply = static_cast<int>(connection->exchange(encodeHandOverRequest(HandOverKind::kComeForward), 5s));
    });
    auto requests = serveFor(2s);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind(), HandOverKind::kComeForward);
    EXPECT_EQ(requests[0].path(), "");
    requests.clear();
    forward.join();
    EXPECT_EQ(reply.load(), static_cast<int>(HandOverReply::kHandled));
}

TEST_F(HandOverTest, TheSocketIsReachableOnlyThroughAPrivateFolder)
{
    struct stat info {};
    ASSERT_EQ(lstat((folder_ + "/TfrmTavo2MainForm").c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    ASSERT_EQ(stat(folder_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    server_.reset();
    EXPECT_NE(lstat((folder_ + "/TfrmTavo2MainForm").c_str(), &info), 0) << "the socket outlived the viewer";
    EXPECT_FALSE(HandOverConnection::connect(folder_));
}

TEST_F(HandOverTest, MalformedRequestsAreRefused)
{
    const std::string tooLong(kMaxHandOverPath + 1, 'a');
    const std::string cases[] = {
        "XAVO" + encodeHandOverRequest(HandOverKind::kOpenFile, "/a").substr(4),        // bad magic
        encodeHandOverRequest(HandOverKind::kOpenFile, tooLong),                         // oversized
        encodeHandOverRequest(HandOverKind::kOpenFile, std::string("/a\0b", 4)),         // embedded NUL
        encodeHandOverRequest(HandOverKind::kComeForward, "/a"),                         // payload on F
        encodeHandOverRequest(HandOverKind::kOpenFile, ""),                              // empty path
        std::string("TAVOZ\0\0\0\0", 9),                                                  // unknown kind
        std::string("TAVOO\xff\xff\xff\xff", 9),                                          // 4 GB claimed
    };
    for (const std::string& bytes : cases) {
        const int fd = rawClient();
        ASSERT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
        EXPECT_TRUE(serveFor(100ms).empty());
        EXPECT_EQ(replyOf(fd), kReplyRefused);
        close(fd);
    }
    EXPECT_EQ(server_->openConnections(), 0u);
}

TEST_F(HandOverTest, TruncatedSilentAndSlowClientsNeverHoldTheServerUp)
{
    // Hangs up halfway through its path.
    int fd = rawClient();
    const std::string request = encodeHandOverRequest(HandOverKind::kOpenFile, "/pictures/a.jpg");
    ASSERT_GT(send(fd, request.data(), 12, MSG_NOSIGNAL), 0);
    close(fd);
    EXPECT_TRUE(serveFor(100ms).empty());
    EXPECT_EQ(server_->openConnections(), 0u);

    // Connects and never writes: dropped when its time is up.
    const int silent = rawClient();
    EXPECT_TRUE(serveFor(50ms).empty());
    EXPECT_EQ(server_->openConnections(), 1u);
    ASSERT_TRUE(server_->nextTimeout());
    EXPECT_LE(*server_->nextTimeout(), HandOverServer::kRequestTimeout);
    EXPECT_TRUE(server_->service(std::chrono::steady_clock::now() + HandOverServer::kRequestTimeout).empty());
    EXPECT_EQ(server_->openConnections(), 0u);
    EXPECT_EQ(replyOf(silent), 0);
    close(silent);

    // A request in single bytes, with a trailing extra, still arrives whole.
    fd = rawClient();
    std::vector<ReceivedHandOver> requests;
    for (char byte : request + "extra") {
        ASSERT_EQ(send(fd, &byte, 1, MSG_NOSIGNAL), 1);
        for (auto& received : server_->service())
            requests.push_back(std::move(received));
    }
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path(), "/pictures/a.jpg");
    requests.clear();
    EXPECT_EQ(replyOf(fd), kReplyHandled);
    close(fd);
}

TEST_F(HandOverTest, AFloodOfConnectionsIsCappedAndTheServerStillServes)
{
    std::vector<int> idle;
    for (std::size_t i = 0; i < HandOverServer::kMaxConnections + 8; ++i)
        idle.push_back(rawClient());
    server_->service();
    EXPECT_EQ(server_->openConnections(), HandOverServer::kMaxConnections);
    // With every slot taken the server has nothing to do until one frees:
    // the event loop is not woken over and over.
    pollfd entry{server_->notifyFd(), POLLIN, 0};
    EXPECT_EQ(poll(&entry, 1, 0), 0);

    // A real request waits in the queue until the silent ones time out.
    std::thread client([&] {
        auto connection = HandOverConnection::connect(folder_);
        ASSERT_TRUE(connection);
        EXPECT_EQ(connection->exchange(encodeHandOverRequest(HandOverKind::kOpenFile, "/queued.png"), 10s),
                  HandOverReply::kHandled);
    });
    std::vector<ReceivedHandOver> requests;
    auto later = std::chrono::steady_clock::now();
    for (int round = 0; round < 10 && requests.empty(); ++round) {
        later += HandOverServer::kRequestTimeout;
        requests = server_->service(later);
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path(), "/queued.png");
    requests.clear();
    client.join();
    for (int fd : idle)
        close(fd);
    server_->service(later + HandOverServer::kRequestTimeout);
    EXPECT_EQ(server_->openConnections(), 0u);

    for (int i = 0; i < 200; ++i) {
        const int fd = rawClient();
        const std::string garbage(static_cast<std::size_t>(i * 37 % 600), static_cast<char>(i));
        send(fd, garbage.data(), garbage.size(), MSG_NOSIGNAL);
        close(fd);
        server_->service();
    }
    std::thread second([&] {
        auto connection = HandOverConnection::connect(folder_);
        ASSERT_TRUE(connection);
        EXPECT_EQ(connection->exchange(encodeHandOverRequest(HandOverKind::kOpenFile, "/ok.png"), 5s),
                  HandOverReply::kHandled);
    });
    requests = serveFor(2s);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path(), "/ok.png");
    requests.clear();
    second.join();
}

TEST_F(HandOverTest, AStaleSocketIsReplacedAndASilentViewerTimesTheClientOut)
{
    server_.reset();
    // A socket file left behind by a copy that died.
    const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s/TfrmTavo2MainForm", folder_.c_str());
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(stale);
    EXPECT_FALSE(HandOverConnection::connect(folder_));

    server_ = std::make_unique<HandOverServer>(folder_);
    auto connection = HandOverConnection::connect(folder_);
    ASSERT_TRUE(connection);
    // Nobody services the server: the client gives up on its own.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(connection->exchange(encodeHandOverRequest(HandOverKind::kComeForward), 200ms), HandOverReply::kNoReply);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}
