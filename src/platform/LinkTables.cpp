#include "platform/LinkTables.h"

#include <elf.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace tavo::platform {

namespace {

// A library whose code the linker patched (text relocations) may have written
// to any segment; its pages are left alone.
bool hasTextRelocations(const dl_phdr_info& object)
{
    for (int i = 0; i < object.dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = object.dlpi_phdr[i];
        if (header.p_type != PT_DYNAMIC)
            continue;
        for (auto* entry = reinterpret_cast<const ElfW(Dyn)*>(object.dlpi_addr + header.p_vaddr);
             entry->d_tag != DT_NULL; ++entry) {
            if (entry->d_tag == DT_TEXTREL || (entry->d_tag == DT_FLAGS && (entry->d_un.d_val & DF_TEXTREL) != 0))
                return true;
        }
    }
    return false;
}

int releaseObject(dl_phdr_info* object, std::size_t, void* released)
{
    // The kernel's own virtual library has no file behind it.
    if (object->dlpi_name != nullptr && std::strncmp(object->dlpi_name, "linux-", 6) == 0)
        return 0;
    if (hasTextRelocations(*object))
        return 0;
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    std::uintptr_t relroStart = 0, relroEnd = 0;
    for (int i = 0; i < object->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = object->dlpi_phdr[i];
        if (header.p_type == PT_GNU_RELRO) {
            relroStart = object->dlpi_addr + header.p_vaddr;
            relroEnd = relroStart + header.p_memsz;
        }
    }
    // The first load segment holds the headers and the link tables. Only a
    // read-only one qualifies: executable code and written data stay.
    for (int i = 0; i < object->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = object->dlpi_phdr[i];
        if (header.p_type != PT_LOAD)
            continue;
        if (header.p_flags != PF_R || header.p_offset != 0 || header.p_filesz != header.p_memsz)
            break;
        std::uintptr_t start = object->dlpi_addr + header.p_vaddr;
        std::uintptr_t end = start + header.p_filesz;
        if (relroStart < end && start < relroEnd)
            end = relroStart;
        start = (start + page - 1) & ~(page - 1);
        end &= ~(page - 1);
        if (start < end && madvise(reinterpret_cast<void*>(start), end - start, MADV_DONTNEED) == 0)
            *static_cast<std::size_t*>(released) += end - start;
        break;
    }
    return 0;
}

} // namespace

std::size_t releaseLinkTables() noexcept
{
    std::size_t released = 0;
    dl_iterate_phdr(releaseObject, &released);
    return released;
}

} // namespace tavo::platform
