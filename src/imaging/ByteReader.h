// A cursor over a span of bytes for the decoders. Every read is checked against
// the end: a structure that does not fit raises EReadError, so reading past the
// data is impossible rather than merely checked by each caller.
#pragma once

#include "platform/Errors.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tavo {

class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data, size) {}
    explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

    std::size_t size() const { return data_.size(); }
    std::size_t position() const { return position_; }
    std::size_t remaining() const { return data_.size() - position_; }
    bool atEnd() const { return position_ == data_.size(); }

    // The next count bytes, consumed; EReadError when fewer remain.
    std::span<const std::uint8_t> take(std::size_t count)
    {
        if (count > remaining())
            throw EReadError();
        const auto bytes = data_.subspan(position_, count);
        position_ += count;
        return bytes;
    }

    // Up to count bytes, fewer when the data ends first; never fails.
    std::span<const std::uint8_t> takeAtMost(std::size_t count)
    {
        return take(std::min(count, remaining()));
    }

    void skip(std::size_t count) { take(count); }

    std::uint8_t u8() { return take(1)[0]; }
    std::uint16_t u16() { return le16(take(2), 0); }
    std::uint32_t u32() { return le32(take(4), 0); }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

    // Little-endian fields of a block already taken, at an offset inside it.
    static std::uint16_t le16(std::span<const std::uint8_t> block, std::size_t offset)
    {
        const auto p = field(block, offset, 2);
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }
    static std::uint32_t le32(std::span<const std::uint8_t> block, std::size_t offset)
    {
        const auto p = field(block, offset, 4);
        return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
               (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }

private:
    static std::span<const std::uint8_t> field(std::span<const std::uint8_t> block, std::size_t offset,
                                               std::size_t count)
    {
        if (offset > block.size() || count > block.size() - offset)
            throw EReadError();
        return block.subspan(offset, count);
    }

    std::span<const std::uint8_t> data_;
    std::size_t position_ = 0;
};

} // namespace tavo
