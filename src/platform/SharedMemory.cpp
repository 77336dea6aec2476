#include "platform/SharedMemory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace tavo::platform {

void UniqueFd::reset(int fd)
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = fd;
}

UniqueFd createSharedMemory(std::size_t size, const char* name)
{
    UniqueFd fd(memfd_create(name, MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (!fd)
        return {};
    if (ftruncate(fd.get(), static_cast<off_t>(size)) != 0)
        return {};
    return fd;
}

bool sealAgainstShrinking(int fd)
{
    return fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK) == 0;
}

bool isSealedAgainstShrinking(int fd)
{
    const int seals = fcntl(fd, F_GET_SEALS);
    return seals >= 0 && (seals & F_SEAL_SHRINK) != 0;
}

std::int64_t descriptorSize(int fd)
{
    struct stat facts = {};
    if (fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode))
        return -1;
    return facts.st_size;
}

Mapping::Mapping(int fd, std::size_t size, Access access)
{
    if (size == 0)
        return;
    int protection = PROT_READ;
    int flags = MAP_SHARED;
    if (access == Access::WriteShared)
        protection |= PROT_WRITE;
    if (access == Access::CopyOnWrite) {
        protection |= PROT_WRITE;
        flags = MAP_PRIVATE;
    }
    // A shared mapping is populated at once: one call maps the pages that the
    // reader is about to touch anyway, instead of a fault per page. A private
    // one is not: populating it would copy every page.
    if (flags == MAP_SHARED)
        flags |= MAP_POPULATE;
    void* p = mmap(nullptr, size, protection, flags, fd, 0);
    if (p == MAP_FAILED)
        return;
    data_ = static_cast<std::uint8_t*>(p);
    size_ = size;
}

Mapping::~Mapping()
{
    if (data_ != nullptr)
        munmap(data_, size_);
}

Mapping::Mapping(Mapping&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0))
{
}

Mapping& Mapping::operator=(Mapping&& other) noexcept
{
    if (this != &other) {
        if (data_ != nullptr)
            munmap(data_, size_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

} // namespace tavo::platform
