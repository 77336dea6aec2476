// tavotavo-spi-host --fd N: the plug-in host. Loads Susie plug-in libraries,
// provides LocalAlloc and its siblings to them, and calls their entry points
// for the viewer at the other end of the socket N (docs/plugin-host-protocol.md).
// Whatever a plug-in does to this process costs the viewer one call at most.
#include "platform/LocalMemory.h"
#include "platform/ModuleLoader.h"
#include "platform/SharedMemory.h"
#include "sdk/spi_plugin.h"
#include "spihost/HostWire.h"
#include "spihost/PrivateView.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tavo::spihost {
namespace {

struct Library {
    std::shared_ptr<platform::Module> module;
    decltype(&::GetPluginInfo) getPluginInfo = nullptr;
    decltype(&::IsSupported) isSupported = nullptr;
    decltype(&::GetPictureInfo) getPictureInfo = nullptr;
    decltype(&::GetPicture) getPicture = nullptr;
};

std::map<std::uint32_t, Library> libraries;
std::uint32_t nextLibrary = 1;

// A plug-in is handed buffers with room to spare behind the length it is
// told, so that one writing a little too far harms nothing of the host's.
constexpr std::size_t kSlack = 64 * 1024;

// The viewer's data block, mapped once and kept: the viewer writes file after
// file into the same shared memory, and pages mapped before cost nothing to
// read again.
struct DataMapping {
    dev_t device = 0;
    ino_t inode = 0;
    platform::Mapping mapping;
} data;

// The bytes of a request's region, at least minimum of them; nullptr when the
// region does not lie inside its carrier.
std::uint8_t* mapRegion(const RequestRegion& region, std::uint64_t minimum)
{
    struct stat facts = {};
    if (fstat(region.fd, &facts) != 0 || facts.st_size <= 0)
        return nullptr;
    // Copy on write: a plug-in that writes into its input changes nothing in
    // the viewer. The pages it wrote are dropped before the next call, which
    // sees the viewer's bytes again.
    const bool same = data.mapping.valid() && facts.st_dev == data.device && facts.st_ino == data.inode &&
        data.mapping.size() == static_cast<std::uint64_t>(facts.st_size);
    if (!same || !dropWrittenPages(data.mapping.data(), data.mapping.size())) {
        data.mapping = platform::Mapping();
        data.mapping = platform::Mapping(region.fd, static_cast<std::size_t>(facts.st_size),
                                         platform::Mapping::Access::CopyOnWrite);
        data.device = facts.st_dev;
        data.inode = facts.st_ino;
    }
    const std::uint64_t available = data.mapping.size();
    if (!data.mapping.valid() || region.offset > available || region.size > available - region.offset ||
        region.size < minimum)
        return nullptr;
    return data.mapping.data() + region.offset;
}

const Library* library(std::uint32_t number)
{
    const auto it = libraries.find(number);
    return it == libraries.end() ? nullptr : &it->second;
}

bool sendStatus(Wire& wire, const Request& request, std::int32_t result)
{
    TavoStatusReply reply = {};
    reply.result = result;
    return wire.sendFixed(request.header.type | TAVO_HOST_REPLY, request.header.call, reply);
}

bool handleLoad(Wire& wire, const Request& request)
{
    TavoLoad load;
    if (!request.fixed(&load) || load.pathLength == 0 || load.pathLength > TAVO_HOST_MAX_PATH)
        return false;
    const auto pathBytes = request.tail<TavoLoad>(load.pathLength);
    if (pathBytes.empty())
        return false;
    const std::string path(pathBytes.begin(), pathBytes.end());
    TavoLoadReply reply = {};
    std::string modulePath;
    std::shared_ptr<platform::Module> module = platform::Module::open(path);
    if (!module) {
        reply.status = TAVO_LOAD_CANNOT_LOAD;
    } else {
        Library lib;
        lib.getPluginInfo = reinterpret_cast<decltype(lib.getPluginInfo)>(module->symbol("GetPluginInfo"));
        lib.isSupported = reinterpret_cast<decltype(lib.isSupported)>(module->symbol("IsSupported"));
        lib.getPictureInfo = reinterpret_cast<decltype(lib.getPictureInfo)>(module->symbol("GetPictureInfo"));
        lib.getPicture = reinterpret_cast<decltype(lib.getPicture)>(module->symbol("GetPicture"));
        modulePath = module->path();
        if (modulePath.size() > TAVO_HOST_MAX_PATH)
            modulePath.clear();
        if (lib.getPluginInfo == nullptr) {
            reply.status = TAVO_LOAD_NO_PLUGIN_INFO;
        } else {
            reply.status = TAVO_LOAD_OK;
            reply.library = nextLibrary++;
            reply.entries = (lib.isSupported ? TAVO_ENTRY_IS_SUPPORTED : 0u) |
                (lib.getPictureInfo ? TAVO_ENTRY_PICTURE_INFO : 0u) | (lib.getPicture ? TAVO_ENTRY_PICTURE : 0u) |
                (module->symbol("GetPreview") ? TAVO_ENTRY_PREVIEW : 0u);
            lib.module = std::move(module);
            libraries[reply.library] = lib;
        }
    }
    reply.pathLength = static_cast<std::uint32_t>(modulePath.size());
    return wire.sendFixed(request.header.type | TAVO_HOST_REPLY, request.header.call, reply,
                          {reinterpret_cast<const std::uint8_t*>(modulePath.data()), modulePath.size()});
}

bool handleUnload(Wire& wire, const Request& request)
{
    TavoUnload unload;
    if (!request.fixed(&unload))
        return false;
    const auto it = libraries.find(unload.library);
    if (it == libraries.end())
        return sendStatus(wire, request, 1);
    libraries.erase(it);
    return sendStatus(wire, request, 0);
}

bool handlePluginInfo(Wire& wire, const Request& request)
{
    TavoPluginInfo ask;
    if (!request.fixed(&ask) || ask.buflen > static_cast<std::int32_t>(TAVO_HOST_MAX_INFO_TEXT))
        return false;
    const Library* lib = library(ask.library);
    if (lib == nullptr)
        return false;
    // A length of 0 or less is passed on as it is; no text comes back then.
    const std::size_t length = ask.buflen > 0 ? static_cast<std::size_t>(ask.buflen) : 0;
    std::vector<char> buffer(std::max<std::size_t>(256, length + 1) + kSlack, 0);
    TavoPluginInfoReply reply = {};
    reply.result = lib->getPluginInfo(ask.infono, buffer.data(), ask.buflen);
    reply.textLength = static_cast<std::uint32_t>(strnlen(buffer.data(), length));
    return wire.sendFixed(request.header.type | TAVO_HOST_REPLY, request.header.call, reply,
                          {reinterpret_cast<const std::uint8_t*>(buffer.data()), reply.textLength});
}

bool handleIsSupported(Wire& wire, const Request& request)
{
    TavoIsSupported ask;
    if (!request.fixed(&ask) || ask.nameLength > TAVO_HOST_MAX_PATH || request.regions.size() != 1)
        return false;
    const Library* lib = library(ask.library);
    if (lib == nullptr || lib->isSupported == nullptr)
        return false;
    const auto nameBytes = request.tail<TavoIsSupported>(ask.nameLength);
    if (nameBytes.size() != ask.nameLength)
        return false;
    const std::string name(nameBytes.begin(), nameBytes.end());
    const std::uint8_t* block = mapRegion(request.regions[0], TAVO_HOST_MIN_SUPPORTED_BLOCK);
    if (block == nullptr)
        return false;
    return sendStatus(wire, request, lib->isSupported(name.c_str(), block));
}

// The call's data: the region, of which the first length bytes are the picture's.
const char* callData(const Request& request, TavoPictureCall* call, const Library** lib)
{
    if (!request.fixed(call) || request.regions.size() != 1)
        return nullptr;
    *lib = library(call->library);
    if (*lib == nullptr)
        return nullptr;
    return reinterpret_cast<const char*>(mapRegion(request.regions[0], call->length));
}

bool handlePictureInfo(Wire& wire, const Request& request)
{
    TavoPictureCall call;
    const Library* lib = nullptr;
    const char* buffer = callData(request, &call, &lib);
    if (buffer == nullptr || lib->getPictureInfo == nullptr)
        return false;
    static std::vector<std::uint8_t> area(sizeof(SPI_PICTINFO) + kSlack);
    std::fill(area.begin(), area.end(), std::uint8_t{0});
    auto* info = reinterpret_cast<SPI_PICTINFO*>(area.data());
    TavoPictureInfoReply reply = {};
    reply.result = lib->getPictureInfo(buffer, static_cast<intptr_t>(call.length), call.flag, info);
    std::string text;
    if (reply.result == 0) {
        reply.left = info->left;
        reply.top = info->top;
        reply.width = info->width;
        reply.height = info->height;
        reply.xDensity = info->x_density;
        reply.yDensity = info->y_density;
        reply.colorDepth = info->colorDepth;
        if (HLOCAL handle = info->hInfo; handle != nullptr) {
            if (LocalLock(handle) != nullptr) {
                if (const auto block = platform::localBlock(handle)) {
                    const auto end = std::find(block->begin(), block->end(), std::uint8_t{0});
                    text.assign(block->begin(), end);
                    if (text.size() > TAVO_HOST_MAX_INFO_TEXT)
                        text.resize(TAVO_HOST_MAX_INFO_TEXT);
                    reply.hasText = 1;
                }
                LocalUnlock(handle);
            }
            LocalFree(handle);
        }
    }
    reply.textLength = static_cast<std::uint32_t>(text.size());
    return wire.sendFixed(request.header.type | TAVO_HOST_REPLY, request.header.call, reply,
                          {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

// The progress callback of one GetPicture, which may be called from any
// thread of the plug-in, also after the call has returned.
struct ProgressRelay {
    std::mutex mutex;
    Wire* wire = nullptr;
    bool active = false;
    std::uint32_t call = 0;
    intptr_t token = 0;
    bool wrongToken = false;
    bool relayed = false;
    std::int64_t lastTenth = 0;
    std::chrono::steady_clock::time_point last;
    std::int32_t answer = 0;
} relay;

// A value that is never an address (the upper half of the address space is
// not canonical on x86-64), different for every call.
intptr_t tokenFor(std::uint32_t call)
{
    return static_cast<intptr_t>((std::uint64_t{0x7ac0} << 48) ^ (std::uint64_t{call} << 4) ^ 0x5a5);
}

int32_t relayProgress(int32_t nNum, int32_t nDenom, intptr_t lData)
{
    std::lock_guard lock(relay.mutex);
    if (!relay.active)
        return 1;
    if (lData != relay.token) {
        relay.wrongToken = true;
        return 1;
    }
    // A relay per row would cost more than the decode, and even one per
    // percent costs the viewer a hundred wake-ups: the viewer hears of the
    // first call, the last, every call whose percentage reaches another tenth,
    // and at least one a second, so that a slow but honest decode is never
    // taken for a hang.
    const std::int64_t percent = nDenom == 0 ? -1 : (std::int64_t{nNum} * 100 + nDenom / 2) / nDenom;
    const std::int64_t tenth = percent < 0 ? -1 : percent / 10;
    const auto now = std::chrono::steady_clock::now();
    if (relay.relayed && nNum != nDenom && tenth == relay.lastTenth && now - relay.last < std::chrono::seconds(1))
        return relay.answer;
    relay.lastTenth = tenth;
    TavoProgress progress{nNum, nDenom};
    Request reply;
    if (!relay.wire->sendFixed(TAVO_MSG_PROGRESS, relay.call, progress) || !relay.wire->receive(&reply))
        std::_Exit(3); // the viewer is gone
    TavoStatusReply status;
    if (reply.header.type != (TAVO_MSG_PROGRESS | TAVO_HOST_REPLY) || reply.header.call != relay.call ||
        !reply.fixed(&status))
        std::_Exit(3);
    relay.relayed = true;
    relay.last = std::chrono::steady_clock::now();
    relay.answer = status.result;
    return relay.answer;
}

// Region and descriptor of one block handed to the viewer: the block's own
// shared memory when it has some, else a sealed copy.
bool blockCarrier(HLOCAL handle, platform::UniqueFd* copy, int* fd, std::uint64_t* size)
{
    if (const auto carrier = platform::localBlockCarrier(handle)) {
        if (!platform::sealAgainstShrinking(carrier->fd))
            return false;
        *fd = carrier->fd;
        *size = carrier->size;
        return true;
    }
    const auto block = platform::localBlock(handle);
    if (!block)
        return false;
    *copy = platform::createSharedMemory(std::max<std::size_t>(block->size(), 1), "tavo-block");
    if (!*copy)
        return false;
    platform::Mapping mapping(copy->get(), std::max<std::size_t>(block->size(), 1),
                              platform::Mapping::Access::WriteShared);
    if (!mapping.valid() || !platform::sealAgainstShrinking(copy->get()))
        return false;
    if (!block->empty())
        std::memcpy(mapping.data(), block->data(), block->size());
    *fd = copy->get();
    *size = block->size();
    return true;
}

bool handlePicture(Wire& wire, const Request& request)
{
    TavoPictureCall call;
    const Library* lib = nullptr;
    const char* buffer = callData(request, &call, &lib);
    if (buffer == nullptr || lib->getPicture == nullptr)
        return false;
    {
        std::lock_guard lock(relay.mutex);
        relay.wire = &wire;
        relay.active = true;
        relay.call = request.header.call;
        relay.token = tokenFor(request.header.call);
        relay.wrongToken = false;
        relay.relayed = false;
        relay.answer = 0;
    }
    HLOCAL info = nullptr;
    HLOCAL bits = nullptr;
    TavoPictureReply reply = {};
    reply.result = lib->getPicture(buffer, static_cast<intptr_t>(call.length), call.flag, &info, &bits,
                                   &relayProgress, tokenFor(request.header.call));
    bool wrongToken;
    {
        std::lock_guard lock(relay.mutex);
        relay.active = false;
        wrongToken = relay.wrongToken;
    }
    if (reply.result != 0)
        return wire.sendFixed(request.header.type | TAVO_HOST_REPLY, request.header.call, reply);
    // The handles are the host's now: freed after the reply in every case.
    const bool bitsLocked = LocalLock(bits) != nullptr;
    const bool infoLocked = LocalLock(info) != nullptr;
    platform::UniqueFd copies[2];
    int descriptors[2] = {-1, -1};
    TavoHostRegion regions[2] = {};
    bool sendBlocks = false;
    if (wrongToken) {
        reply.result = SPI_ABORT;
    } else if (bitsLocked && infoLocked) {
        sendBlocks = blockCarrier(info, &copies[0], &descriptors[0], &regions[0].size) &&
            blockCarrier(bits, &copies[1], &descriptors[1], &regions[1].size);
        regions[1].carrier = 1;
    }
    const bool sent = sendBlocks
        ? wire.sendFixed(request.header.type | TAVO_HOST_REPLY, request.header.call, reply, {}, regions, descriptors)
        : wire.sendFixed(request.header.type | TAVO_HOST_REPLY, request.header.call, reply);
    if (infoLocked)
        LocalUnlock(info);
    if (bitsLocked)
        LocalUnlock(bits);
    LocalFree(info);
    if (bits != info)
        LocalFree(bits);
    return sent;
}

bool handle(Wire& wire, const Request& request)
{
    switch (request.header.type) {
    case TAVO_MSG_LOAD: return handleLoad(wire, request);
    case TAVO_MSG_UNLOAD: return handleUnload(wire, request);
    case TAVO_MSG_PLUGIN_INFO: return handlePluginInfo(wire, request);
    case TAVO_MSG_IS_SUPPORTED: return handleIsSupported(wire, request);
    case TAVO_MSG_PICTURE_INFO: return handlePictureInfo(wire, request);
    case TAVO_MSG_PICTURE: return handlePicture(wire, request);
    default: return false;
    }
}

} // namespace
} // namespace tavo::spihost

// In the sanitizer build a plug-in's fault must still end the host with its
// signal, as the viewer reports it, rather than with the sanitizer's report.
extern "C" const char* __asan_default_options()
{
    return "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:detect_leaks=0";
}

int main(int argc, char** argv)
{
    using namespace tavo::spihost;
    int socket = -1;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--fd") == 0)
            socket = std::atoi(argv[i + 1]);
    }
    if (socket < 0) {
        std::fprintf(stderr, "usage: tavotavo-spi-host --fd N (started by the viewer)\n");
        return 2;
    }
    // The host lives for its viewer only.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    signal(SIGPIPE, SIG_IGN);
    Wire wire(socket);
    const TavoReady ready{TAVO_HOST_PROTOCOL_VERSION, TAVO_HOST_KIND_NATIVE};
    if (!wire.sendFixed(TAVO_MSG_READY, 0, ready))
        return 0;
    Request request;
    while (wire.receive(&request)) {
        if (!handle(wire, request))
            return 2;
    }
    return 0;
}
