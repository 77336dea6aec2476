// Zero-filled memory for picture pixels and the other large blocks a decoder
// holds (a file's bytes, a turn's bands). Large blocks are mapped directly, in
// whole aligned huge pages, and asked for huge pages: a fresh 72 MB buffer
// otherwise costs tens of milliseconds in page faults before the decoder
// writes a single row. Picture-sized fresh blocks can be populated ahead of
// their writer on a second thread, and the last one freed is kept for the
// next picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tavo::platform {

class PagePopulator;

// Who faults in the pages of a fresh large block: the writer as it writes
// (which may also populate them itself, from a thread it already has), or a
// thread of their own, ahead of the writer. Ahead commits the whole block at
// once, so it is only for writers that fill all of it: a block sized by a
// file's header that the file's data may fill only in part must not be
// committed in full before any byte is read.
enum class PagePopulation { ByWriter, Ahead };

class PixelMemory {
public:
    PixelMemory();
    // Throws std::bad_alloc when the memory cannot be had.
    explicit PixelMemory(std::size_t size, PagePopulation population = PagePopulation::ByWriter);
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

    std::unique_ptr<PagePopulator> populator_;
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t mappedLength_ = 0; // 0: allocated on the heap
};

} // namespace tavo::platform
