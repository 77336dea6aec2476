#include "plugins/NativeHost.h"

#include "platform/SearchFolders.h"
#include "platform/SpawnAttributes.h"
#include "plugins/ChildHostProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>

extern char** environ;

namespace tavo {

namespace {

class MemfdBlock : public OutgoingBlock {
public:
    MemfdBlock(platform::UniqueFd fd, platform::Mapping mapping) : fd_(std::move(fd)), mapping_(std::move(mapping)) {}
    std::span<std::uint8_t> bytes() override { return mapping_.bytes(); }
    int fd() const { return fd_.get(); }

private:
    platform::UniqueFd fd_;
    platform::Mapping mapping_;
};

class MappedRegion : public IncomingBlock {
public:
    MappedRegion(std::shared_ptr<const platform::Mapping> mapping, std::span<const std::uint8_t> bytes)
        : mapping_(std::move(mapping)), bytes_(bytes)
    {
    }
    std::span<const std::uint8_t> bytes() const override { return bytes_; }

private:
    std::shared_ptr<const platform::Mapping> mapping_;
    std::span<const std::uint8_t> bytes_;
};

class SocketChannel : public HostChannel {
public:
    explicit SocketChannel(platform::UniqueFd socket) : socket_(std::move(socket)) {}

    std::unique_ptr<OutgoingBlock> createBlock(std::size_t size) override
    {
        platform::UniqueFd fd = platform::createSharedMemory(size, "tavo-data");
        if (!fd)
            return nullptr;
        platform::Mapping mapping(fd.get(), size, platform::Mapping::Access::WriteShared);
        if (!mapping.valid())
            return nullptr;
        return std::make_unique<MemfdBlock>(std::move(fd), std::move(mapping));
    }

    bool send(std::uint16_t type, std::uint32_t call, std::span<const std::uint8_t> payload,
              std::span<const OutgoingRegion> regions) override
    {
        std::vector<int> descriptors;
        std::vector<TavoHostRegion> records;
        for (const OutgoingRegion& region : regions) {
            const int fd = static_cast<MemfdBlock*>(region.block)->fd();
            auto at = std::find(descriptors.begin(), descriptors.end(), fd);
            if (at == descriptors.end())
                at = descriptors.insert(descriptors.end(), fd);
            TavoHostRegion record = {};
            record.offset = region.offset;
            record.size = region.size;
            record.carrier = static_cast<std::uint32_t>(at - descriptors.begin());
            records.push_back(record);
        }
        return platform::sendMessageBytes(socket_.get(), frameMessage(type, call, records, payload), descriptors);
    }

    ChannelStatus receive(const platform::Deadline& deadline, HostMessage* message) override
    {
        *message = HostMessage{};
        std::vector<platform::UniqueFd> descriptors;
        auto status = read({reinterpret_cast<std::uint8_t*>(&message->header), sizeof(TavoHostHeader)}, deadline,
                           &descriptors);
        if (status != ChannelStatus::Ok)
            return status;
        if (!frameHeaderValid(message->header))
            return ChannelStatus::Malformed;
        std::vector<std::uint8_t> body(message->header.size);
        status = read(body, deadline, &descriptors);
        if (status != ChannelStatus::Ok)
            return status;
        // Every carrier must be shared memory that cannot shrink under the mapping.
        std::vector<std::uint64_t> sizes;
        for (const platform::UniqueFd& fd : descriptors) {
            const std::int64_t size = platform::descriptorSize(fd.get());
            if (size < 0 || !platform::isSealedAgainstShrinking(fd.get()))
                return ChannelStatus::Malformed;
            sizes.push_back(static_cast<std::uint64_t>(size));
        }
        std::vector<TavoHostRegion> records;
        if (!readRegionRecords(body, message->header.regionCount, sizes, &records))
            return ChannelStatus::Malformed;
        std::map<std::uint32_t, std::shared_ptr<const platform::Mapping>> mapped;
        for (const TavoHostRegion& record : records) {
            std::span<const std::uint8_t> bytes;
            std::shared_ptr<const platform::Mapping> mapping;
            if (record.size != 0) {
                auto& slot = mapped[record.carrier];
                if (!slot) {
                    slot = mapCarrier(descriptors[record.carrier].get(), sizes[record.carrier]);
                    if (!slot)
                        return ChannelStatus::Malformed;
                }
                mapping = slot;
                bytes = {mapping->data() + record.offset, static_cast<std::size_t>(record.size)};
            }
            message->regions.push_back(std::make_unique<MappedRegion>(std::move(mapping), bytes));
        }
        const std::size_t regionBytes = records.size() * sizeof(TavoHostRegion);
        message->payload.assign(body.begin() + static_cast<std::ptrdiff_t>(regionBytes), body.end());
        return ChannelStatus::Ok;
    }

private:
    // A host sends the same shared memory again for picture after picture, so
    // the mappings of the last large carriers are kept: pages mapped before
    // cost nothing to read again, where a fresh mapping faults on every one.
    // A carrier is the same when it is the same file of the same size (an
    // inode is not reused while a mapping holds its file).
    std::shared_ptr<const platform::Mapping> mapCarrier(int fd, std::uint64_t size)
    {
        struct stat facts = {};
        if (fstat(fd, &facts) != 0)
            return nullptr;
        for (auto it = kept_.begin(); it != kept_.end(); ++it) {
            if (it->device == facts.st_dev && it->inode == facts.st_ino && it->mapping->size() == size) {
                std::rotate(it, it + 1, kept_.end());
                return kept_.back().mapping;
            }
        }
        auto mapping = std::make_shared<const platform::Mapping>(fd, static_cast<std::size_t>(size),
                                                                 platform::Mapping::Access::ReadShared);
        if (!mapping->valid())
            return nullptr;
        if (size >= kKeptMinimum) {
            if (kept_.size() == kKeptMappings)
                kept_.erase(kept_.begin());
            kept_.push_back({facts.st_dev, facts.st_ino, mapping});
        }
        return mapping;
    }

    ChannelStatus read(std::span<std::uint8_t> out, const platform::Deadline& deadline,
                       std::vector<platform::UniqueFd>* descriptors)
    {
        switch (platform::readMessageBytes(socket_.get(), out, deadline, descriptors, TAVO_HOST_MAX_REGIONS)) {
        case platform::ReadOutcome::Done: return ChannelStatus::Ok;
        case platform::ReadOutcome::Closed: return ChannelStatus::Closed;
        case platform::ReadOutcome::TimedOut: return ChannelStatus::TimedOut;
        case platform::ReadOutcome::Failed: return ChannelStatus::Malformed;
        }
        return ChannelStatus::Malformed;
    }

    struct KeptMapping {
        dev_t device;
        ino_t inode;
        std::shared_ptr<const platform::Mapping> mapping;
    };
    static constexpr std::size_t kKeptMappings = 2;
    static constexpr std::uint64_t kKeptMinimum = 1u << 20;

    platform::UniqueFd socket_;
    std::vector<KeptMapping> kept_; // the most recent last
};

class NativeProcess : public ChildHostProcess {
public:
    NativeProcess(pid_t pid, platform::UniqueFd socket)
        : ChildHostProcess(pid, std::chrono::milliseconds(2000)), channel_(makeSocketChannel(std::move(socket)))
    {
    }
    ~NativeProcess() override
    {
        channel_.reset();
        finish(std::chrono::milliseconds(500));
    }

    HostChannel& channel() override { return *channel_; }

private:
    std::unique_ptr<HostChannel> channel_;
};

} // namespace

std::unique_ptr<HostChannel> makeSocketChannel(platform::UniqueFd socket)
{
    return std::make_unique<SocketChannel>(std::move(socket));
}

std::string nativeHostProgram()
{
    if (const char* named = std::getenv("TAVO_SPI_HOST"); named != nullptr && *named != 0)
        return named;
    return platform::programFolder() + "/tavotavo-spi-host";
}

bool NativeHostKind::accepts(const std::string& path) const
{
    char magic[4] = {};
    std::ifstream file(path, std::ios::binary);
    return file.read(magic, sizeof magic) && std::memcmp(magic, "\x7f" "ELF", 4) == 0;
}

std::unique_ptr<HostProcess> NativeHostKind::start() const
{
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return nullptr;
    platform::UniqueFd mine(ends[0]);
    platform::UniqueFd theirs(ends[1]);
    constexpr int kHostFd = 3;
    // dup2 onto itself would keep close-on-exec; move the end out of the way first.
    if (theirs.get() == kHostFd) {
        theirs = platform::UniqueFd(fcntl(kHostFd, F_DUPFD_CLOEXEC, kHostFd + 1));
        if (!theirs)
            return nullptr;
    }
    const std::string program = nativeHostProgram();
    std::string fdText = std::to_string(kHostFd);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("--fd"), fdText.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, theirs.get(), kHostFd);
    const platform::CleanSpawnAttributes attributes;
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, attributes.get(), argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return nullptr;
    return std::make_unique<NativeProcess>(pid, std::move(mine));
}

} // namespace tavo
