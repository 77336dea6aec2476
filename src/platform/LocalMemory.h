// Local-memory handles for Susie plug-ins, with their Win32 meanings.
//
// The functions themselves (LocalAlloc, LocalReAlloc, LocalLock, LocalUnlock,
// LocalSize, LocalFree) are declared with C linkage in sdk/spi_plugin.h and
// defined in LocalMemory.cpp with default visibility; every program that links
// tavo_platform links that object (see src/platform/CMakeLists.txt) and, built
// with ENABLE_EXPORTS, exports them to the plug-ins it loads.
//
// The host keeps a table of live handles. A handle the table does not know
// (bogus, or already freed) makes every call fail instead of crashing, and the
// host reads a block only through localBlock(), bounded by its size.
#pragma once

#include "sdk/spi_plugin.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tavo::platform {

// The bytes of a live handle's block, or nothing for an unknown handle. The span
// stays valid until the handle is reallocated or freed. A moveable block is not
// locked by this call: the host uses it between its own LocalLock and LocalUnlock.
std::optional<std::span<const std::uint8_t>> localBlock(HLOCAL handle);

// The shared memory behind a large block: its memfd (owned by the table, valid
// until the handle is reallocated or freed) and the block's size, which starts
// at offset 0. Nothing for an unknown handle or a small block.
struct LocalCarrier {
    int fd;
    std::size_t size;
};
std::optional<LocalCarrier> localBlockCarrier(HLOCAL handle);

// Whether the table knows the handle.
bool isLiveLocalHandle(HLOCAL handle);

// Number of live handles; tests use it to find leaks.
std::size_t liveLocalHandleCount();

} // namespace tavo::platform
