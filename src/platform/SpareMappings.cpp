#include "platform/SpareMappings.h"

#include <sys/mman.h>

#include <array>
#include <mutex>

namespace tavo::platform {

namespace {

// A picture and a file's bytes.
constexpr std::size_t kMaxKept = 2;
constexpr std::size_t kMaxKeptLength = std::size_t{512} << 20;

struct Spares {
    std::mutex mutex;
    // Oldest first; empty entries at the end.
    std::array<Mapping, kMaxKept> kept{};
};

Spares& spares()
{
    // Never destroyed: mappings may be freed while the program ends.
    static Spares* const instance = new Spares;
    return *instance;
}

} // namespace

Mapping takeSpareMapping(std::size_t length) noexcept
{
    Spares& s = spares();
    const std::lock_guard lock(s.mutex);
    for (std::size_t i = 0; i < kMaxKept; ++i) {
        const Mapping candidate = s.kept[i];
        if (candidate.start && candidate.length >= length && candidate.length / 2 < length) {
            for (std::size_t j = i; j + 1 < kMaxKept; ++j)
                s.kept[j] = s.kept[j + 1];
            s.kept[kMaxKept - 1] = Mapping{};
            return candidate;
        }
    }
    return Mapping{};
}

void keepSpareMapping(Mapping mapping) noexcept
{
    if (!mapping.start)
        return;
    if (mapping.length > kMaxKeptLength) {
        munmap(mapping.start, mapping.length);
        return;
    }
#ifdef MADV_FREE
    madvise(mapping.start, mapping.length, MADV_FREE);
#endif
    Spares& s = spares();
    Mapping oldest{};
    {
        const std::lock_guard lock(s.mutex);
        std::size_t used = 0;
        while (used < kMaxKept && s.kept[used].start)
            ++used;
        if (used == kMaxKept) {
            oldest = s.kept[0];
            for (std::size_t j = 0; j + 1 < kMaxKept; ++j)
                s.kept[j] = s.kept[j + 1];
            used = kMaxKept - 1;
        }
        s.kept[used] = mapping;
    }
    if (oldest.start)
        munmap(oldest.start, oldest.length);
}

} // namespace tavo::platform
