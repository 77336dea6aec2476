// Letting go of the link tables loses nothing: the pages read back as they
// were, and the loader keeps working with them.
#include "platform/LinkTables.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The first load segment of every loaded object, as the process sees it.
struct Segment {
    std::string object;
    const unsigned char* start = nullptr;
    std::size_t size = 0;
    std::vector<unsigned char> copy;
};

int collect(dl_phdr_info* object, std::size_t, void* segments)
{
    for (int i = 0; i < object->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = object->dlpi_phdr[i];
        if (header.p_type != PT_LOAD)
            continue;
        if (header.p_flags == PF_R && header.p_offset == 0) {
            Segment segment;
            segment.object = object->dlpi_name;
            segment.start = reinterpret_cast<const unsigned char*>(object->dlpi_addr + header.p_vaddr);
            segment.size = header.p_filesz;
            segment.copy.assign(segment.start, segment.start + segment.size);
            static_cast<std::vector<Segment>*>(segments)->push_back(std::move(segment));
        }
        break;
    }
    return 0;
}

} // namespace

// The tables are let go, read back unchanged, and the loader still finds
// symbols and loads libraries with them.
TEST(LinkTables, ReleasedTablesReadBackUnchangedAndLinkingStillWorks)
{
    std::vector<Segment> segments;
    dl_iterate_phdr(collect, &segments);
    ASSERT_FALSE(segments.empty());

    EXPECT_GT(tavo::platform::releaseLinkTables(), 0u);

    for (const Segment& segment : segments)
        EXPECT_EQ(std::memcmp(segment.start, segment.copy.data(), segment.size), 0) << segment.object;
    // Lookups through the released tables, by name and by a fresh library.
    EXPECT_NE(dlsym(RTLD_DEFAULT, "memcmp"), nullptr);
    void* library = dlopen("libm.so.6", RTLD_NOW);
    ASSERT_NE(library, nullptr) << dlerror();
    using Cosine = double (*)(double);
    const auto cosine = reinterpret_cast<Cosine>(dlsym(library, "cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
    dlclose(library);
    // Releasing twice is harmless.
    tavo::platform::releaseLinkTables();
    for (const Segment& segment : segments)
        EXPECT_EQ(std::memcmp(segment.start, segment.copy.data(), segment.size), 0) << segment.object;
}
