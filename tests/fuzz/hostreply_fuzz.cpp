// The viewer's side of the plug-in host protocol on whatever a host might
// send: the input is the byte stream from the host, read through the socket
// channel and answered by a PluginHost that asks for one call after another.
// Every input must end in replies or in a lost host, never out of bounds.
#include "platform/MessageSocket.h"
#include "plugins/NativeHost.h"
#include "plugins/PluginHost.h"

#include <sys/socket.h>

#include <cstdint>
#include <cstdlib>

namespace {

class StreamProcess : public tavo::HostProcess {
public:
    explicit StreamProcess(tavo::platform::UniqueFd socket) : channel_(tavo::makeSocketChannel(std::move(socket))) {}
    tavo::HostChannel& channel() override { return *channel_; }
    void kill() override {}
    std::string endReason(int* signal) override
    {
        *signal = 0;
        return "ended";
    }

private:
    std::unique_ptr<tavo::HostChannel> channel_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Silence is no part of an input: a stream that stops ends the host at once.
    setenv("TAVO_SPI_HOST_TIMEOUT_MS", "1", 1);
    if (size > 60000)
        return 0;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return 0;
    tavo::platform::UniqueFd peer(ends[1]);
    int room = 1 << 20;
    setsockopt(ends[1], SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    setsockopt(ends[0], SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    tavo::platform::sendMessageBytes(peer.get(), {data, size}, {});
    shutdown(peer.get(), SHUT_WR);
    try {
        tavo::PluginHost host(std::make_unique<StreamProcess>(tavo::platform::UniqueFd(ends[0])), 1);
        std::unique_ptr<tavo::OutgoingBlock> block = host.channel().createBlock(4096);
        const tavo::OutgoingRegion region{block.get(), 0, 4096};
        const auto progress = [](std::int32_t, std::int32_t) { return 0; };
        for (int round = 0; round < 64; ++round) {
            switch (round % 6) {
            case 0: host.load("/plug-ins/x.spi"); break;
            case 1: host.pluginInfo(1, round, 255); break;
            case 2: host.isSupported(1, "a.png", region); break;
            case 3: host.pictureInfo(1, region, 100, 1); break;
            case 4: {
                const tavo::PluginHost::Picture picture = host.picture(1, region, 100, 1, progress);
                // Touch every byte received: a block must be as long as it says.
                unsigned sum = 0;
                for (const auto* b : {picture.info.get(), picture.bits.get()})
                    if (b != nullptr)
                        for (std::uint8_t v : b->bytes())
                            sum += v;
                (void)sum;
                break;
            }
            default: host.unload(1); break;
            }
        }
    } catch (const tavo::HostLost&) {
    }
    return 0;
}
