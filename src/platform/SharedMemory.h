// Descriptors, anonymous shared memory (memfd) and its mappings: what the
// viewer and the plug-in host share pictures and file bytes through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tavo::platform {

// Owns one file descriptor; closes it when it goes.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// A new memfd of the given size, zero-filled, that allows seals. Invalid on failure.
UniqueFd createSharedMemory(std::size_t size, const char* name);

// Forbids shrinking the memfd from now on, so that a mapping of it never loses
// pages under its reader. False when the descriptor takes no seals.
bool sealAgainstShrinking(int fd);

// Whether the descriptor is a memfd sealed against shrinking.
bool isSealedAgainstShrinking(int fd);

// The size of the file behind a descriptor, or -1.
std::int64_t descriptorSize(int fd);

// One mapping of a whole descriptor, unmapped when it goes.
class Mapping {
public:
    enum class Access { ReadShared, WriteShared, CopyOnWrite };
    Mapping() = default;
    // Maps size bytes from the start of fd; empty on failure or for size 0.
    Mapping(int fd, std::size_t size, Access access);
    ~Mapping();
    Mapping(Mapping&& other) noexcept;
    Mapping& operator=(Mapping&& other) noexcept;
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;

    bool valid() const { return data_ != nullptr; }
    std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    std::span<std::uint8_t> bytes() const { return {data_, size_}; }

private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace tavo::platform
