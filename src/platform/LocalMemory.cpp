// Local memory for plug-ins. A fixed block's handle is its address, as on Win32;
// a moveable block's handle is a token that is never an address and never
// reused, so that a stale moveable handle cannot alias a newer block.
//
// Large blocks (pictures) live in shared memory of their own (a memfd), so that
// the plug-in host hands them to the viewer without copying a pixel. A freed
// large block is kept for the next one: pages a process touches for the first
// time cost far more than writing them again (a fault each, and on a virtual
// machine an exit to the hypervisor), and a plug-in host decodes one picture
// after another of much the same size.
#include "platform/LocalMemory.h"

#include "platform/SharedMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

constexpr std::uint32_t kModify = 0x0080u; // LMEM_MODIFY: change flags only

constexpr std::size_t kSharedBlockThreshold = 64 * 1024;

struct Block {
    std::uint8_t* data = nullptr;
    std::size_t size = 0;     // what LocalSize reports
    std::size_t capacity = 0; // what was allocated; a fixed block grows in place within it
    bool moveable = false;
    std::uint32_t locks = 0;
    int fd = -1; // the memfd of a shared block, or -1 for a malloc one
};

// The shared memory of a freed large block, still mapped.
struct Spare {
    std::uint8_t* data = nullptr;
    std::size_t capacity = 0;
    int fd = -1;
};

// At most this many freed blocks are kept: the pixels and a second block (a
// colour table, a plug-in's own buffer) of the picture before. A very large
// block is not kept, and a kept one is not used for a block of less than half
// its size: memory of a huge picture goes back once smaller ones follow.
constexpr std::size_t kMaxSpares = 2;
constexpr std::size_t kMaxSpareSize = std::size_t{512} << 20;

struct Table {
    std::mutex mutex;
    std::unordered_map<HLOCAL, Block> blocks;
    std::uintptr_t nextToken = 1;
    std::vector<Spare> spares; // the most recently freed last
};

Table& table()
{
    static Table* instance = new Table; // never destroyed: plug-ins may call during exit
    return *instance;
}

// Moveable tokens live in the non-canonical upper half of the address space,
// so they are never a valid address on x86-64 and never equal a fixed handle.
HLOCAL newToken(Table& t)
{
    const std::uintptr_t token = (std::uintptr_t{0x8bad} << 48) | (t.nextToken++ << 4);
    return reinterpret_cast<HLOCAL>(token);
}

void unmapSpare(const Spare& spare)
{
    munmap(spare.data, spare.capacity);
    close(spare.fd);
}

// A kept block for n bytes, zero-filled like a fresh one: the smallest that is
// large enough, else the largest grown to n. False when none is kept or
// growing fails (the spare is then released).
bool reuseSpare(Table& t, std::size_t n, Block* block)
{
    Spare spare;
    {
        std::lock_guard lock(t.mutex);
        if (t.spares.empty())
            return false;
        auto chosen = t.spares.end();
        for (auto it = t.spares.begin(); it != t.spares.end(); ++it) {
            if (it->capacity >= n && (chosen == t.spares.end() || it->capacity < chosen->capacity))
                chosen = it;
        }
        if (chosen != t.spares.end() && chosen->capacity / 2 > n) {
            unmapSpare(*chosen);
            t.spares.erase(chosen);
            return false;
        }
        if (chosen == t.spares.end()) {
            chosen = std::max_element(t.spares.begin(), t.spares.end(),
                                      [](const Spare& a, const Spare& b) { return a.capacity < b.capacity; });
        }
        spare = *chosen;
        t.spares.erase(chosen);
    }
    if (spare.capacity < n) {
        void* p = MAP_FAILED;
        if (ftruncate(spare.fd, static_cast<off_t>(n)) == 0)
            p = mremap(spare.data, spare.capacity, n, MREMAP_MAYMOVE);
        if (p == MAP_FAILED) {
            unmapSpare(spare);
            return false;
        }
        // The grown part is new memory and zero already.
        spare.data = static_cast<std::uint8_t*>(p);
        std::memset(spare.data, 0, spare.capacity);
        spare.capacity = n;
    } else {
        std::memset(spare.data, 0, n);
    }
    block->data = spare.data;
    block->capacity = spare.capacity;
    block->fd = spare.fd;
    return true;
}

// malloc of 0 bytes may give NULL; a zero-sized block still needs an identity.
// A large block is shared memory, zero-filled like every new one.
bool allocateBlock(std::size_t bytes, bool zero, Block* block)
{
    const std::size_t n = bytes == 0 ? 1 : bytes;
    if (n >= kSharedBlockThreshold) {
        if (reuseSpare(table(), n, block))
            return true;
        tavo::platform::UniqueFd fd = tavo::platform::createSharedMemory(n, "tavo-local");
        if (fd) {
            // Populated in one call: a fault per page of shared memory costs
            // more than the plug-in's writes into it.
            void* p = mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd.get(), 0);
            if (p != MAP_FAILED) {
                block->data = static_cast<std::uint8_t*>(p);
                block->capacity = n;
                block->fd = fd.release();
                return true;
            }
        }
    }
    void* p = zero ? std::calloc(n, 1) : std::malloc(n);
    block->data = static_cast<std::uint8_t*>(p);
    block->capacity = n;
    return p != nullptr;
}

// Called with the table locked.
void releaseBlock(Table& t, const Block& block)
{
    if (block.fd >= 0 && block.capacity > kMaxSpareSize) {
        munmap(block.data, block.capacity);
        close(block.fd);
    } else if (block.fd >= 0) {
        if (t.spares.size() == kMaxSpares) {
            unmapSpare(t.spares.front());
            t.spares.erase(t.spares.begin());
        }
        t.spares.push_back({block.data, block.capacity, block.fd});
    } else {
        std::free(block.data);
    }
}

// Grows a block past its capacity; false when it cannot (or may not) move.
bool growBlock(Block* block, std::size_t bytes, bool mayMove)
{
    if (block->fd >= 0) {
        if (ftruncate(block->fd, static_cast<off_t>(bytes)) != 0)
            return false;
        void* p = mremap(block->data, block->capacity, bytes, mayMove ? MREMAP_MAYMOVE : 0);
        if (p == MAP_FAILED)
            return false;
        block->data = static_cast<std::uint8_t*>(p);
        block->capacity = bytes;
        return true;
    }
    if (!mayMove)
        return false;
    void* p = std::realloc(block->data, bytes);
    if (p == nullptr)
        return false;
    block->data = static_cast<std::uint8_t*>(p);
    block->capacity = bytes;
    return true;
}

Block* find(Table& t, HLOCAL handle)
{
    if (handle == nullptr)
        return nullptr;
    const auto it = t.blocks.find(handle);
    return it == t.blocks.end() ? nullptr : &it->second;
}

} // namespace

extern "C" {

SPI_EXPORT HLOCAL LocalAlloc(uint32_t uFlags, size_t uBytes)
{
    Block block;
    if (!allocateBlock(uBytes, (uFlags & LMEM_ZEROINIT) != 0, &block))
        return nullptr;
    block.size = uBytes;
    block.moveable = (uFlags & LMEM_MOVEABLE) != 0;
    Table& t = table();
    std::lock_guard lock(t.mutex);
    HLOCAL handle = block.moveable ? newToken(t) : static_cast<HLOCAL>(block.data);
    t.blocks[handle] = block;
    return handle;
}

SPI_EXPORT HLOCAL LocalReAlloc(HLOCAL hMem, size_t uBytes, uint32_t uFlags)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Block* block = find(t, hMem);
    if (block == nullptr)
        return nullptr;
    if ((uFlags & kModify) != 0)
        return hMem;
    const bool zero = (uFlags & LMEM_ZEROINIT) != 0;
    if (uBytes <= block->capacity) {
        if (zero && uBytes > block->size)
            std::memset(block->data + block->size, 0, uBytes - block->size);
        block->size = uBytes;
        return hMem;
    }
    // Growing past the capacity may move the data. Win32 moves a fixed block, or
    // a locked moveable one, only when the caller allows it with LMEM_MOVEABLE.
    const bool mayMove = (uFlags & LMEM_MOVEABLE) != 0 || (block->moveable && block->locks == 0);
    Block moved = *block;
    if (!growBlock(&moved, uBytes, mayMove))
        return nullptr;
    std::uint8_t* data = moved.data;
    if (zero)
        std::memset(data + block->size, 0, uBytes - block->size);
    moved.size = uBytes;
    if (moved.moveable || data == block->data) {
        *block = moved;
        return hMem;
    }
    // A fixed block's handle is its address, so the entry moves with it.
    t.blocks.erase(hMem);
    HLOCAL handle = static_cast<HLOCAL>(data);
    t.blocks[handle] = moved;
    return handle;
}

SPI_EXPORT void* LocalLock(HLOCAL hMem)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Block* block = find(t, hMem);
    if (block == nullptr)
        return nullptr;
    if (block->moveable)
        ++block->locks;
    return block->data;
}

SPI_EXPORT int32_t LocalUnlock(HLOCAL hMem)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Block* block = find(t, hMem);
    if (block == nullptr || !block->moveable || block->locks == 0)
        return 0;
    --block->locks;
    return block->locks != 0 ? 1 : 0;
}

SPI_EXPORT size_t LocalSize(HLOCAL hMem)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const Block* block = find(t, hMem);
    return block == nullptr ? 0 : block->size;
}

SPI_EXPORT HLOCAL LocalFree(HLOCAL hMem)
{
    if (hMem == nullptr)
        return nullptr;
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const auto it = t.blocks.find(hMem);
    if (it == t.blocks.end())
        return hMem;
    releaseBlock(t, it->second);
    t.blocks.erase(it);
    return nullptr;
}

} // extern "C"

namespace tavo::platform {

std::optional<std::span<const std::uint8_t>> localBlock(HLOCAL handle)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const Block* block = find(t, handle);
    if (block == nullptr)
        return std::nullopt;
    return std::span<const std::uint8_t>(block->data, block->size);
}

std::optional<LocalCarrier> localBlockCarrier(HLOCAL handle)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const Block* block = find(t, handle);
    if (block == nullptr || block->fd < 0)
        return std::nullopt;
    return LocalCarrier{block->fd, block->size};
}

bool isLiveLocalHandle(HLOCAL handle)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    return find(t, handle) != nullptr;
}

std::size_t liveLocalHandleCount()
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    return t.blocks.size();
}

} // namespace tavo::platform
