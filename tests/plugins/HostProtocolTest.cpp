// The viewer's side of the plug-in host protocol against a fake host that
// lies: every malformed reply ends the host with an error, and nothing is read
// outside what was received (the sanitizer build checks that).
#include "PluginTestSupport.h"
#include "platform/MessageSocket.h"
#include "plugins/NativeHost.h"
#include "plugins/PluginHost.h"
#include "plugins/SPIErrors.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <ostream>

using namespace tavo;

namespace {

class FakeProcess : public HostProcess {
public:
    FakeProcess(platform::UniqueFd socket, bool* killed) : channel_(makeSocketChannel(std::move(socket))), killed_(killed) {}
    HostChannel& channel() override { return *channel_; }
    void kill() override { *killed_ = true; }
    std::string endReason(int* signal) override
    {
        *signal = 0;
        return "fake host ended";
    }

private:
    std::unique_ptr<HostChannel> channel_;
    bool* killed_;
};

std::vector<uint8_t> frame(uint16_t type, uint32_t call, const std::vector<TavoHostRegion>& regions,
                           const std::vector<uint8_t>& payload, uint32_t size = 0)
{
    TavoHostHeader header = {};
    header.size = size != 0 ? size : static_cast<uint32_t>(regions.size() * sizeof(TavoHostRegion) + payload.size());
    header.type = type;
    header.regionCount = static_cast<uint16_t>(regions.size());
    header.call = call;
    std::vector<uint8_t> bytes(sizeof header);
    std::memcpy(bytes.data(), &header, sizeof header);
    for (const TavoHostRegion& r : regions) {
        const auto* p = reinterpret_cast<const uint8_t*>(&r);
        bytes.insert(bytes.end(), p, p + sizeof r);
    }
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

template <class T>
std::vector<uint8_t> bytesOf(const T& value, const std::string& tail = {})
{
    std::vector<uint8_t> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

platform::UniqueFd sealedMemory(std::size_t size, bool seal = true)
{
    platform::UniqueFd fd = platform::createSharedMemory(size, "fake");
    if (seal)
        platform::sealAgainstShrinking(fd.get());
    return fd;
}

// A fake host that has said READY; what it answers is written before the call.
class FakeHost {
public:
    FakeHost()
    {
        int ends[2];
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends);
        peer_ = platform::UniqueFd(ends[1]);
        say(frame(TAVO_MSG_READY, 0, {}, bytesOf(TavoReady{TAVO_HOST_PROTOCOL_VERSION, TAVO_HOST_KIND_NATIVE})));
        host = std::make_unique<PluginHost>(std::make_unique<FakeProcess>(platform::UniqueFd(ends[0]), &killed), 1);
    }
    void say(const std::vector<uint8_t>& bytes, std::vector<int> descriptors = {})
    {
        ASSERT_TRUE(platform::sendMessageBytes(peer_.get(), bytes, descriptors));
    }
    void hangUp() { peer_.reset(); }

    std::unique_ptr<PluginHost> host;
    bool killed = false;

private:
    platform::UniqueFd peer_;
};

// The reason the host was lost for, or "" when the call went through.
std::string lostFor(const std::function<void()>& call)
{
    try {
        call();
    } catch (const HostLost& lost) {
        return lost.reason();
    }
    return "";
}

OutgoingRegion dataOf(PluginHost& host, std::unique_ptr<OutgoingBlock>* block)
{
    *block = host.channel().createBlock(4096);
    return {block->get(), 0, 4096};
}

TavoHostRegion region(uint64_t offset, uint64_t size, uint32_t carrier)
{
    TavoHostRegion r = {};
    r.offset = offset;
    r.size = size;
    r.carrier = carrier;
    return r;
}

const uint16_t kPictureReply = TAVO_MSG_PICTURE | TAVO_HOST_REPLY;

// Each lie with the call it answers: all end the host as a broken reply.
struct Lie {
    const char* what;
    std::function<void(FakeHost&)> tell;
    std::function<void(PluginHost&)> call;
};

void load(PluginHost& host) { host.load("/x.spi"); }
void info(PluginHost& host) { host.pluginInfo(1, 0, 255); }
void picture(PluginHost& host)
{
    std::unique_ptr<OutgoingBlock> block;
    host.picture(1, dataOf(host, &block), 10, 1, [](int32_t, int32_t) { return 0; });
}

TavoLoadReply loaded(uint32_t pathLength)
{
    TavoLoadReply r = {};
    r.library = 1;
    r.pathLength = pathLength;
    return r;
}

const Lie kLies[] = {
    {"a huge message size", [](FakeHost& f) { f.say(frame(TAVO_MSG_LOAD | TAVO_HOST_REPLY, 1, {}, {}, 0xFFFFFFF0u)); }, load},
    {"too many regions",
     [](FakeHost& f) {
         std::vector<TavoHostRegion> many(3, region(0, 0, 0));
         f.say(frame(kPictureReply, 1, many, bytesOf(TavoPictureReply{})));
     },
     picture},
    {"regions that do not fit the message", [](FakeHost& f) {
         auto bytes = frame(kPictureReply, 1, {}, bytesOf(TavoPictureReply{}));
         bytes[6] = 2; // two regions announced in an 8-byte body
         f.say(bytes);
     }, picture},
    {"a reply of another type", [](FakeHost& f) { f.say(frame(TAVO_MSG_UNLOAD | TAVO_HOST_REPLY, 1, {}, bytesOf(TavoStatusReply{}))); }, load},
    {"a reply to another call", [](FakeHost& f) { f.say(frame(TAVO_MSG_LOAD | TAVO_HOST_REPLY, 7, {}, bytesOf(loaded(0)))); }, load},
    {"a path longer than the message", [](FakeHost& f) { f.say(frame(TAVO_MSG_LOAD | TAVO_HOST_REPLY, 1, {}, bytesOf(loaded(0x7FFFFFFF), "/x"))); }, load},
    {"a path with a zero byte", [](FakeHost& f) { f.say(frame(TAVO_MSG_LOAD | TAVO_HOST_REPLY, 1, {}, bytesOf(loaded(3), std::string("/\0x", 3)))); }, load},
    {"a loaded library without a number", [](FakeHost& f) {
         TavoLoadReply r = loaded(0);
         r.library = 0;
         f.say(frame(TAVO_MSG_LOAD | TAVO_HOST_REPLY, 1, {}, bytesOf(r)));
     }, load},
    {"a text longer than the buffer", [](FakeHost& f) {
         f.say(frame(TAVO_MSG_PLUGIN_INFO | TAVO_HOST_REPLY, 1, {}, bytesOf(TavoPluginInfoReply{4, 300}, std::string(300, 'a'))));
     }, info},
    {"a short fixed part", [](FakeHost& f) { f.say(frame(TAVO_MSG_PLUGIN_INFO | TAVO_HOST_REPLY, 1, {}, {1, 2, 3})); }, info},
    {"a region larger than its descriptor", [](FakeHost& f) {
         auto small = sealedMemory(100);
         f.say(frame(kPictureReply, 1, {region(0, 40, 0), region(0, 1 << 20, 0)}, bytesOf(TavoPictureReply{})), {small.get()});
     }, picture},
    {"a region whose offset and size overflow", [](FakeHost& f) {
         auto small = sealedMemory(100);
         f.say(frame(kPictureReply, 1, {region(0, 40, 0), region(~0ull - 8, 16, 0)}, bytesOf(TavoPictureReply{})), {small.get()});
     }, picture},
    {"a descriptor that may shrink", [](FakeHost& f) {
         auto loose = sealedMemory(4096, false);
         f.say(frame(kPictureReply, 1, {region(0, 40, 0), region(40, 16, 0)}, bytesOf(TavoPictureReply{})), {loose.get()});
     }, picture},
    {"a descriptor that is no memory", [](FakeHost& f) {
         int pipeEnds[2];
         ASSERT_EQ(pipe(pipeEnds), 0);
         f.say(frame(kPictureReply, 1, {region(0, 0, 0), region(0, 0, 0)}, bytesOf(TavoPictureReply{})), {pipeEnds[0]});
         close(pipeEnds[0]);
         close(pipeEnds[1]);
     }, picture},
    {"a carrier that was not sent", [](FakeHost& f) {
         auto one = sealedMemory(4096);
         f.say(frame(kPictureReply, 1, {region(0, 40, 0), region(0, 16, 1)}, bytesOf(TavoPictureReply{})), {one.get()});
     }, picture},
    {"more descriptors than regions allow", [](FakeHost& f) {
         auto a = sealedMemory(64), b = sealedMemory(64), c = sealedMemory(64);
         f.say(frame(kPictureReply, 1, {region(0, 40, 0), region(0, 16, 1)}, bytesOf(TavoPictureReply{})), {a.get(), b.get(), c.get()});
     }, picture},
    {"blocks with a failure", [](FakeHost& f) {
         auto one = sealedMemory(4096);
         f.say(frame(kPictureReply, 1, {region(0, 40, 0), region(40, 16, 0)}, bytesOf(TavoPictureReply{2, 0})), {one.get()});
     }, picture},
    {"a malformed progress report", [](FakeHost& f) { f.say(frame(TAVO_MSG_PROGRESS, 1, {}, {1, 2, 3, 4, 5})); }, picture},
    {"a progress report outside a picture", [](FakeHost& f) { f.say(frame(TAVO_MSG_PROGRESS, 1, {}, bytesOf(TavoProgress{0, 1}))); }, info},
};

void PrintTo(const Lie& lie, std::ostream* out)
{
    *out << lie.what;
}

class HostLies : public ::testing::TestWithParam<Lie> {};

TEST_P(HostLies, EndTheHostAsABrokenReply)
{
    FakeHost fake;
    GetParam().tell(fake);
    EXPECT_EQ(lostFor([&] { GetParam().call(*fake.host); }), kBadReplyReason);
    EXPECT_TRUE(fake.killed);
    EXPECT_FALSE(fake.host->alive());
    // A lost host answers nothing more.
    EXPECT_EQ(lostFor([&] { load(*fake.host); }), kBadReplyReason);
}

INSTANTIATE_TEST_SUITE_P(Protocol, HostLies, ::testing::ValuesIn(kLies), [](const auto& info) {
    std::string name = info.param.what;
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
});

TEST(HostProtocol, AStreamThatEndsMidMessageOrSilenceEndsTheHost)
{
    {
        FakeHost fake;
        auto half = frame(TAVO_MSG_LOAD | TAVO_HOST_REPLY, 1, {}, bytesOf(loaded(0)));
        half.resize(20);
        fake.say(half);
        fake.hangUp();
        EXPECT_EQ(lostFor([&] { load(*fake.host); }), "fake host ended");
    }
    {
        test::ScopedEnv quick("TAVO_SPI_HOST_TIMEOUT_MS", std::string("100"));
        FakeHost fake;
        EXPECT_EQ(lostFor([&] { info(*fake.host); }), kNoResponseReason);
        EXPECT_TRUE(fake.killed);
    }
}

TEST(HostProtocol, AnHonestPictureReplyArrivesWithItsBlocksAndProgressInBetween)
{
    FakeHost fake;
    fake.say(frame(TAVO_MSG_PROGRESS, 1, {}, bytesOf(TavoProgress{1, 3})));
    auto shared = sealedMemory(4096);
    platform::Mapping mapping(shared.get(), 4096, platform::Mapping::Access::WriteShared);
    std::memset(mapping.data(), 0x11, 40);
    std::memset(mapping.data() + 40, 0x22, 16);
    fake.say(frame(kPictureReply, 1, {region(0, 40, 0), region(40, 16, 0)}, bytesOf(TavoPictureReply{})), {shared.get()});
    std::unique_ptr<OutgoingBlock> block;
    std::vector<std::pair<int32_t, int32_t>> seen;
    const PluginHost::Picture result = fake.host->picture(1, dataOf(*fake.host, &block), 10, 1, [&](int32_t n, int32_t d) {
        seen.emplace_back(n, d);
        return 0;
    });
    EXPECT_EQ(result.result, 0);
    ASSERT_TRUE(result.info && result.bits);
    EXPECT_EQ(result.info->bytes().size(), 40u);
    EXPECT_EQ(result.info->bytes()[39], 0x11);
    EXPECT_EQ(result.bits->bytes().size(), 16u);
    EXPECT_EQ(result.bits->bytes()[0], 0x22);
    EXPECT_EQ(seen, (std::vector<std::pair<int32_t, int32_t>>{{1, 3}}));
    EXPECT_TRUE(fake.host->alive());
}

} // namespace
