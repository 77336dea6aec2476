#include "plugins/WineHost.h"

#include "platform/LibraryFormat.h"
#include "platform/SearchFolders.h"
#include "platform/WineRuntime.h"
#include "plugins/ChildHostProcess.h"
#include "plugins/SPIErrors.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <mutex>
#include <set>

namespace tavo {

namespace {

constexpr std::uint32_t kFirstBridgeCarrier = 0x80000000u;
// How long a bridge may take to say it is ready: Wine starts its own services
// first, which takes seconds on a busy machine.
constexpr int kStartLimitMs = 120000;

void removeRegionFolder(const std::string& path)
{
    if (DIR* dir = opendir(path.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            if (std::strncmp(entry->d_name, "region-", 7) == 0)
                unlinkat(dirfd(dir), entry->d_name, 0);
        }
        closedir(dir);
    }
    rmdir(path.c_str());
}

// The folders of bridges still running. The hosts of a process live until it
// ends, so what is left of their folders goes at the exit.
std::mutex liveFoldersMutex;
std::set<std::string>* liveFolders = nullptr;

void removeLiveFolders()
{
    std::lock_guard lock(liveFoldersMutex);
    for (const std::string& path : *liveFolders)
        removeRegionFolder(path);
    liveFolders->clear();
}

// The private folder of one bridge's region files; removed with what is left in it.
class RegionFolder {
public:
    RegionFolder()
    {
        // Memory-backed when it can be: the runtime folder, else /dev/shm.
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        std::string base = runtime != nullptr && runtime[0] == '/' ? runtime
                           : access("/dev/shm", W_OK | X_OK) == 0 ? "/dev/shm"
                                                                   : "/tmp";
        std::string pattern = base + "/tavotavo-bridge-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            return;
        path_ = pattern;
        std::lock_guard lock(liveFoldersMutex);
        if (liveFolders == nullptr) {
            liveFolders = new std::set<std::string>;
            std::atexit(removeLiveFolders);
        }
        liveFolders->insert(path_);
    }
    ~RegionFolder()
    {
        if (path_.empty())
            return;
        removeRegionFolder(path_);
        std::lock_guard lock(liveFoldersMutex);
        liveFolders->erase(path_);
    }
    RegionFolder(const RegionFolder&) = delete;
    RegionFolder& operator=(const RegionFolder&) = delete;

    bool valid() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    std::string file(std::uint32_t carrier) const { return path_ + "/region-" + std::to_string(carrier); }

private:
    std::string path_;
};

// A region file of the viewer's, mapped for the viewer to fill. The bridge
// learns its name only when it is sent, after it has been filled.
class FileBlock : public OutgoingBlock {
public:
    FileBlock(std::string path, std::uint32_t carrier, platform::Mapping mapping)
        : path_(std::move(path)), carrier_(carrier), mapping_(std::move(mapping))
    {
    }
    ~FileBlock() override { unlink(path_.c_str()); }
    std::span<std::uint8_t> bytes() override { return mapping_.bytes(); }
    std::uint32_t carrier() const { return carrier_; }

private:
    std::string path_;
    std::uint32_t carrier_;
    platform::Mapping mapping_;
};

// Memory for the blocks the bridge sends. A picture's pixels are megabytes
// whose pages cost more to fault in than to fill, and the pictures of a
// folder are alike: a freed buffer is kept for the next one.
class BufferPool {
public:
    struct Buffer {
        std::unique_ptr<std::uint8_t[]> bytes;
        std::size_t capacity = 0;
    };
    Buffer take(std::size_t size)
    {
        std::lock_guard lock(mutex_);
        for (auto it = spare_.begin(); it != spare_.end(); ++it) {
            if (it->capacity >= size && it->capacity <= 2 * size + kSmall) {
                Buffer buffer = std::move(*it);
                spare_.erase(it);
                return buffer;
            }
        }
        return {std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[std::max<std::size_t>(size, 1)]), size};
    }
    void give(Buffer buffer)
    {
        std::lock_guard lock(mutex_);
        spare_.push_back(std::move(buffer));
        if (spare_.size() > kKept)
            spare_.erase(spare_.begin());
    }

private:
    static constexpr std::size_t kKept = 2;
    static constexpr std::size_t kSmall = 4096;
    std::mutex mutex_;
    std::vector<Buffer> spare_;
};

// A block the bridge sent, read into the viewer's own memory: a file the
// bridge can still shorten is never mapped here.
class CopiedBlock : public IncomingBlock {
public:
    CopiedBlock(std::shared_ptr<BufferPool> pool, std::size_t size)
        : pool_(std::move(pool)), buffer_(pool_->take(size)), size_(size)
    {
    }
    ~CopiedBlock() override
    {
        if (buffer_.bytes)
            pool_->give(std::move(buffer_));
    }
    std::span<const std::uint8_t> bytes() const override { return {buffer_.bytes.get(), size_}; }
    std::uint8_t* data() { return buffer_.bytes.get(); }

private:
    std::shared_ptr<BufferPool> pool_;
    BufferPool::Buffer buffer_;
    std::size_t size_;
};

class FileChannel : public HostChannel {
public:
    FileChannel(platform::UniqueFd socket, const RegionFolder& folder) : socket_(std::move(socket)), folder_(folder) {}

    std::unique_ptr<OutgoingBlock> createBlock(std::size_t size) override
    {
        if (nextCarrier_ >= kFirstBridgeCarrier || size == 0)
            return nullptr;
        const std::uint32_t carrier = nextCarrier_++;
        const std::string path = folder_.file(carrier);
        platform::UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd)
            return nullptr;
        platform::Mapping mapping;
        if (ftruncate(fd.get(), static_cast<off_t>(size)) == 0)
            mapping = platform::Mapping(fd.get(), size, platform::Mapping::Access::WriteShared);
        if (!mapping.valid()) {
            unlink(path.c_str());
            return nullptr;
        }
        return std::make_unique<FileBlock>(path, carrier, std::move(mapping));
    }

    bool send(std::uint16_t type, std::uint32_t call, std::span<const std::uint8_t> payload,
              std::span<const OutgoingRegion> regions) override
    {
        std::vector<TavoHostRegion> records;
        for (const OutgoingRegion& region : regions) {
            TavoHostRegion record = {};
            record.offset = region.offset;
            record.size = region.size;
            record.carrier = static_cast<FileBlock*>(region.block)->carrier();
            records.push_back(record);
        }
        return platform::sendMessageBytes(socket_.get(), frameMessage(type, call, records, payload), {});
    }

    ChannelStatus receive(const platform::Deadline& deadline, HostMessage* message) override
    {
        *message = HostMessage{};
        ChannelStatus status = read({reinterpret_cast<std::uint8_t*>(&message->header), sizeof(TavoHostHeader)},
                                    deadline);
        if (status != ChannelStatus::Ok)
            return status;
        if (!frameHeaderValid(message->header))
            return ChannelStatus::Malformed;
        std::vector<std::uint8_t> body(message->header.size);
        status = read(body, deadline);
        if (status != ChannelStatus::Ok)
            return status;
        std::vector<TavoHostRegion> records(message->header.regionCount);
        const std::size_t regionBytes = records.size() * sizeof(TavoHostRegion);
        if (regionBytes > body.size())
            return ChannelStatus::Malformed;
        if (regionBytes != 0)
            std::memcpy(records.data(), body.data(), regionBytes);
        // Every file named is read, also when another one fails.
        bool good = true;
        for (const TavoHostRegion& record : records) {
            std::unique_ptr<IncomingBlock> block = take(record);
            good = good && block != nullptr;
            message->regions.push_back(std::move(block));
        }
        if (!good) {
            message->regions.clear();
            return ChannelStatus::Malformed;
        }
        message->payload.assign(body.begin() + static_cast<std::ptrdiff_t>(regionBytes), body.end());
        return ChannelStatus::Ok;
    }

private:
    ChannelStatus read(std::span<std::uint8_t> out, const platform::Deadline& deadline)
    {
        switch (platform::readMessageBytes(socket_.get(), out, deadline, nullptr, 0)) {
        case platform::ReadOutcome::Done: return ChannelStatus::Ok;
        case platform::ReadOutcome::Closed: return ChannelStatus::Closed;
        case platform::ReadOutcome::TimedOut: return ChannelStatus::TimedOut;
        case platform::ReadOutcome::Failed: return ChannelStatus::Malformed;
        }
        return ChannelStatus::Malformed;
    }

    // Reads one region of the bridge's into memory of the viewer's; nullptr
    // when the record or the file is not sound.
    std::unique_ptr<IncomingBlock> take(const TavoHostRegion& record)
    {
        if (record.carrier < kFirstBridgeCarrier || record.reserved != 0)
            return nullptr;
        // The bridge writes its blocks into the same few files again and
        // again (their pages stay); they go with the folder.
        const std::string path = folder_.file(record.carrier);
        platform::UniqueFd fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat facts = {};
        if (!fd || fstat(fd.get(), &facts) != 0 || !S_ISREG(facts.st_mode))
            return nullptr;
        const auto fileSize = static_cast<std::uint64_t>(facts.st_size);
        if (record.offset > fileSize || record.size > fileSize - record.offset || record.size > SIZE_MAX)
            return nullptr;
        auto block = std::make_unique<CopiedBlock>(pool_, static_cast<std::size_t>(record.size));
        if (record.size != 0) {
            if (!block->data())
                return nullptr;
            // Read from the offset: a short read (the file shrank) fails the message.
            std::size_t done = 0;
            while (done < record.size) {
                const ssize_t n = pread(fd.get(), block->data() + done, static_cast<std::size_t>(record.size) - done,
                                        static_cast<off_t>(record.offset + done));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    return nullptr;
                done += static_cast<std::size_t>(n);
            }
        }
        return block;
    }

    platform::UniqueFd socket_;
    const RegionFolder& folder_;
    std::uint32_t nextCarrier_ = 0;
    std::shared_ptr<BufferPool> pool_ = std::make_shared<BufferPool>();
};

class WineProcess : public ChildHostProcess {
public:
    WineProcess(pid_t pid, platform::UniqueFd socket, std::unique_ptr<RegionFolder> folder)
        : ChildHostProcess(pid, std::chrono::milliseconds(5000)), folder_(std::move(folder)),
          channel_(std::make_unique<FileChannel>(std::move(socket), *folder_))
    {
    }
    ~WineProcess() override
    {
        channel_.reset();
        finish(std::chrono::milliseconds(2000));
    }

    HostChannel& channel() override { return *channel_; }

protected:
    // The bridge ends with 128 + a signal's number for a fault of the
    // plug-in's: the reason is worded as for that signal.
    std::string exitReason(int code, int* signal) const override
    {
        for (const int faultSignal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
            if (code == 128 + faultSignal) {
                *signal = faultSignal;
                return describeSignal(faultSignal);
            }
        }
        return ChildHostProcess::exitReason(code, signal);
    }

private:
    std::unique_ptr<RegionFolder> folder_;
    std::unique_ptr<HostChannel> channel_;
};

} // namespace

std::string wineBridgeProgram(int bits)
{
    // Tests name the folder of the built bridges.
    const char* named = std::getenv("TAVO_SPI_BRIDGES");
    const std::string folder = named != nullptr && *named != 0 ? named : platform::programFolder();
    return folder + "/tavotavo-spi-bridge" + std::to_string(bits) + ".exe";
}

bool WineHostKind::accepts(const std::string& path) const
{
    const platform::LibraryFormat wanted =
        bits_ == 32 ? platform::LibraryFormat::WindowsI386 : platform::LibraryFormat::WindowsX86_64;
    return platform::libraryFormat(path) == wanted && !platform::WinePrefix::instance().failed() &&
           !platform::wineLoader(bits_).empty() && access(wineBridgeProgram(bits_).c_str(), R_OK) == 0;
}

std::optional<LibraryFacts> WineHostKind::remembered(const std::string& path) const
{
    return rememberedFacts(path);
}

void WineHostKind::remember(const std::string& path, const LibraryFacts& facts) const
{
    rememberFacts(path, facts);
}

std::unique_ptr<HostProcess> WineHostKind::launch() const
{
    auto folder = std::make_unique<RegionFolder>();
    if (!folder->valid())
        return nullptr;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return nullptr;
    platform::UniqueFd mine(ends[0]);
    platform::UniqueFd theirs(ends[1]);
    const pid_t pid =
        platform::spawnWineProgram({platform::wineLoader(bits_), wineBridgeProgram(bits_), folder->path()},
                                   theirs.get(), theirs.get());
    if (pid < 0)
        return nullptr;
    launchedSocket_ = mine.get();
    return std::make_unique<WineProcess>(pid, std::move(mine), std::move(folder));
}

bool WineHostKind::prepare() const
{
    platform::WinePrefix& prefix = platform::WinePrefix::instance();
    if (!prefix.poll())
        return prefix.failed();
    if (!launched_) {
        launched_ = launch();
        if (!launched_)
            return true; // nothing to wait for: start() fails the same way
    }
    pollfd ready = {launchedSocket_, POLLIN, 0};
    return poll(&ready, 1, 0) != 0;
}

std::unique_ptr<HostProcess> WineHostKind::start() const
{
    // A bridge started while Wine's server still winds down after a killed
    // one can end before it is ready; a second start then finds a server.
    for (int attempt = 0;; ++attempt) {
        if (!launched_) {
            if (!platform::WinePrefix::instance().wait())
                return nullptr;
            launched_ = launch();
            if (!launched_)
                return nullptr;
        }
        // Wine takes seconds to start; the host's own time limit counts from its READY on.
        pollfd ready = {launchedSocket_, POLLIN, 0};
        while (poll(&ready, 1, kStartLimitMs) < 0 && errno == EINTR) {
        }
        char first;
        if (attempt > 0 || recv(launchedSocket_, &first, 1, MSG_PEEK | MSG_DONTWAIT) != 0)
            return std::move(launched_);
        launched_.reset();
    }
}

} // namespace tavo
