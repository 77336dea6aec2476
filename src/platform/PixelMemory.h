// Zero-filled memory for picture pixels. Large blocks are mapped directly, in
// whole aligned huge pages, and asked for huge pages: a fresh 72 MB buffer
// otherwise costs tens of milliseconds in page faults before the decoder
// writes a single row.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavo::platform {

class PixelMemory {
public:
    PixelMemory() = default;
    // Throws std::bad_alloc when the memory cannot be had.
    explicit PixelMemory(std::size_t size);
    ~PixelMemory();
    PixelMemory(const PixelMemory&) = delete;
    PixelMemory& operator=(const PixelMemory&) = delete;
    PixelMemory(PixelMemory&& other) noexcept;
    PixelMemory& operator=(PixelMemory&& other) noexcept;

    std::uint8_t* data() { return data_; }
    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    void release() noexcept;

    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
};

} // namespace tavo::platform
