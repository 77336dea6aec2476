#include "spihost/PrivateView.h"

#include "platform/SharedMemory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace tavo::spihost {

namespace {

// /proc/self/pagemap: one 64-bit entry per page of the address space.
constexpr std::uint64_t kPresent = std::uint64_t{1} << 63;
constexpr std::uint64_t kSwapped = std::uint64_t{1} << 62;
constexpr std::uint64_t kFilePage = std::uint64_t{1} << 61;

// A page of the mapping that holds a copy of its own: in memory but not the
// file's page, or swapped out (file pages of a private mapping never are).
bool written(std::uint64_t entry)
{
    return (entry & kSwapped) != 0 || ((entry & kPresent) != 0 && (entry & kFilePage) == 0);
}

} // namespace

bool dropWrittenPages(std::uint8_t* data, std::size_t size)
{
    static const platform::UniqueFd pageMap(open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC));
    if (!pageMap)
        return false;
    const auto pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(data) / pageSize;
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + size + pageSize - 1) / pageSize;
    std::uint64_t entries[512];
    std::uintptr_t runStart = 0;
    bool inRun = false;
    auto dropRun = [&](std::uintptr_t page) {
        if (inRun)
            madvise(reinterpret_cast<void*>(runStart * pageSize), (page - runStart) * pageSize, MADV_DONTNEED);
        inRun = false;
    };
    for (std::uintptr_t page = first; page < end;) {
        const std::size_t count = std::min<std::uintptr_t>(end - page, std::size(entries));
        const ssize_t got = pread(pageMap.get(), entries, count * sizeof entries[0],
                                  static_cast<off_t>(page * sizeof entries[0]));
        if (got != static_cast<ssize_t>(count * sizeof entries[0]))
            return false;
        for (std::size_t i = 0; i < count; ++i, ++page) {
            if (written(entries[i]) && !inRun) {
                runStart = page;
                inRun = true;
            } else if (!written(entries[i])) {
                dropRun(page);
            }
        }
    }
    dropRun(end);
    return true;
}

} // namespace tavo::spihost
