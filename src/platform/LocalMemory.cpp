// Local memory for plug-ins. A fixed block's handle is its address, as on Win32;
// a moveable block's handle is a token that is never an address and never
// reused, so that a stale moveable handle cannot alias a newer block.
#include "platform/LocalMemory.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

constexpr std::uint32_t kModify = 0x0080u; // LMEM_MODIFY: change flags only

struct Block {
    std::uint8_t* data = nullptr;
    std::size_t size = 0;     // what LocalSize reports
    std::size_t capacity = 0; // what malloc gave; a fixed block grows in place within it
    bool moveable = false;
    std::uint32_t locks = 0;
};

struct Table {
    std::mutex mutex;
    std::unordered_map<HLOCAL, Block> blocks;
    std::uintptr_t nextToken = 1;
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

// malloc of 0 bytes may give NULL; a zero-sized block still needs an identity.
std::uint8_t* allocateBytes(std::size_t bytes, bool zero)
{
    const std::size_t n = bytes == 0 ? 1 : bytes;
    void* p = zero ? std::calloc(n, 1) : std::malloc(n);
    return static_cast<std::uint8_t*>(p);
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
    std::uint8_t* data = allocateBytes(uBytes, (uFlags & LMEM_ZEROINIT) != 0);
    if (data == nullptr)
        return nullptr;
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const bool moveable = (uFlags & LMEM_MOVEABLE) != 0;
    HLOCAL handle = moveable ? newToken(t) : static_cast<HLOCAL>(data);
    t.blocks[handle] = Block{data, uBytes, uBytes == 0 ? 1 : uBytes, moveable, 0};
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
    // Growing past the capacity moves the data. Win32 moves a fixed block, or a
    // locked moveable one, only when the caller allows it with LMEM_MOVEABLE.
    const bool mayMove = (uFlags & LMEM_MOVEABLE) != 0 || (block->moveable && block->locks == 0);
    if (!mayMove)
        return nullptr;
    auto* data = static_cast<std::uint8_t*>(std::realloc(block->data, uBytes));
    if (data == nullptr)
        return nullptr;
    if (zero)
        std::memset(data + block->size, 0, uBytes - block->size);
    Block moved = *block;
    moved.data = data;
    moved.size = uBytes;
    moved.capacity = uBytes;
    if (moved.moveable) {
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
    std::free(it->second.data);
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
