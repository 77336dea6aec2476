#include "platform/LibraryFormat.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace tavo::platform {

namespace {

constexpr std::uint16_t kMachineI386 = 0x014C;
constexpr std::uint16_t kMachineAmd64 = 0x8664;
// Where a Windows library's PE header may start; real ones are within the
// first few hundred bytes.
constexpr std::uint32_t kMaxPeOffset = 1u << 20;

std::uint32_t le32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

bool readAt(int fd, off_t offset, unsigned char* out, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = pread(fd, out + done, size - done, offset + static_cast<off_t>(done));
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

LibraryFormat libraryFormat(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return LibraryFormat::Other;
    LibraryFormat format = LibraryFormat::Other;
    unsigned char head[64];
    if (readAt(fd, 0, head, sizeof head)) {
        if (std::memcmp(head, "\x7F" "ELF", 4) == 0) {
            format = LibraryFormat::Elf;
        } else if (head[0] == 'M' && head[1] == 'Z') {
            // The DOS header's last field points at the PE signature and file header.
            const std::uint32_t peOffset = le32(head + 0x3C);
            unsigned char pe[6];
            if (peOffset <= kMaxPeOffset && readAt(fd, peOffset, pe, sizeof pe) && std::memcmp(pe, "PE\0\0", 4) == 0) {
                const std::uint16_t machine = static_cast<std::uint16_t>(pe[4] | pe[5] << 8);
                if (machine == kMachineI386)
                    format = LibraryFormat::WindowsI386;
                else if (machine == kMachineAmd64)
                    format = LibraryFormat::WindowsX86_64;
            }
        }
    }
    close(fd);
    return format;
}

} // namespace tavo::platform
