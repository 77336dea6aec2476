// What every plug-in we ship does the same way around its decoder: the info
// texts, the call's input (memory image or file), and the two blocks in the
// host's local memory.
#pragma once

#include "Dib.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tavo::spi {

// GetPluginInfo over a fixed list of texts: copies text infono, cut to
// buflen - 1 bytes and zero-terminated, and returns its length; 0 past the end.
std::int32_t copyPluginInfo(const char* const* texts, std::size_t count,
                            std::int32_t infono, char* buf, std::int32_t buflen);

// The data a call names. flag & 7 == 1: buf is the memory image of len bytes.
// 0: buf is a file name and len the offset of the picture in that file.
class PluginInput {
public:
    // SPI_ALL_RIGHT, or the code that ends the call.
    std::int32_t open(const char* buf, std::intptr_t len, std::uint32_t flag);
    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    std::unique_ptr<std::uint8_t[]> owned_;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// Blocks from the host's LocalAlloc, locked while the decoder writes them.
// Unless handed over, both are freed when the allocator goes away, so every
// failure path, the stop by the callback included, leaves nothing behind.
class LocalDibAllocator final : public DibAllocator {
public:
    LocalDibAllocator() = default;
    LocalDibAllocator(const LocalDibAllocator&) = delete;
    LocalDibAllocator& operator=(const LocalDibAllocator&) = delete;
    ~LocalDibAllocator() override;

    void* allocateInfo(std::size_t bytes) override { return allocate(info_, bytes); }
    void* allocateBits(std::size_t bytes) override { return allocate(bits_, bytes); }
    // Unlocks both blocks and gives them to the host.
    void handOver(HLOCAL* pHBInfo, HLOCAL* pHBm);

private:
    void* allocate(HLOCAL& handle, std::size_t bytes);
    HLOCAL info_ = nullptr;
    HLOCAL bits_ = nullptr;
};

} // namespace tavo::spi
