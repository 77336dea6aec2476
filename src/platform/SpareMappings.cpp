#include "platform/SpareMappings.h"

#include <sys/mman.h>

#include <mutex>
#include <utility>

namespace tavo::platform {

namespace {

// Only picture-sized blocks are kept, one at a time: a file's bytes or a
// reduced view would only add to the memory held between pictures.
constexpr std::size_t kMinKeptLength = std::size_t{16} << 20;
constexpr std::size_t kMaxKeptLength = std::size_t{512} << 20;

struct Spare {
    std::mutex mutex;
    Mapping kept;
};

Spare& spare()
{
    // Never destroyed: mappings may be freed while the program ends.
    static Spare* const instance = new Spare;
    return *instance;
}

} // namespace

Mapping takeSpareMapping(std::size_t length) noexcept
{
    Spare& s = spare();
    const std::lock_guard lock(s.mutex);
    if (s.kept.start && s.kept.length >= length && s.kept.length / 2 < length)
        return std::exchange(s.kept, Mapping{});
    return Mapping{};
}

void keepSpareMapping(Mapping mapping) noexcept
{
    if (!mapping.start)
        return;
    if (mapping.length < kMinKeptLength || mapping.length > kMaxKeptLength) {
        munmap(mapping.start, mapping.length);
        return;
    }
#ifdef MADV_FREE
    madvise(mapping.start, mapping.length, MADV_FREE);
#endif
    Mapping older;
    {
        Spare& s = spare();
        const std::lock_guard lock(s.mutex);
        older = std::exchange(s.kept, mapping);
    }
    if (older.start)
        munmap(older.start, older.length);
}

} // namespace tavo::platform
