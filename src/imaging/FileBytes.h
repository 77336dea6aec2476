// The whole of a file, held in memory for a decoder. The bytes live in picture
// memory, so that a photograph's file takes a few huge pages instead of one
// fresh page fault per 4 KB at every load.
#pragma once

#include "platform/PixelMemory.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tavo {

class FileBytes {
public:
    FileBytes() = default;
    // Reads to the end, whatever size the file had when it was opened.
    // Throws EFOpenError when it cannot be opened (a folder included),
    // EReadError when reading fails, std::bad_alloc when it cannot be held.
    static FileBytes read(const std::string& path);
    // A copy of a block; std::bad_alloc when it cannot be held.
    static FileBytes copy(const std::uint8_t* data, std::size_t size);

    const std::uint8_t* data() const { return memory_.data(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::span<const std::uint8_t> bytes() const { return {memory_.data(), size_}; }

private:
    platform::PixelMemory memory_;
    std::size_t size_ = 0;
};

} // namespace tavo
