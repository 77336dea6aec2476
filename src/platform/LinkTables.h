// The tables the dynamic linker reads while it links the program: the symbol
// tables, their hashes and the relocation records of every loaded library.
// A toolkit program links tens of libraries with tens of thousands of symbols,
// so these read-only pages make up a fifth of its resident memory at start,
// and after the linking only a later library load looks at a few of them.
#pragma once

#include <cstddef>

namespace tavo::platform {

// Takes the link tables of every library loaded so far out of the process's
// resident memory. They stay in the file cache, so a lookup that needs one of
// them later reads it back at the cost of a page fault. Only pages that are a
// plain read-only view of their file are let go (the first, read-only load
// segment, outside the part that relocation writes), so nothing the process
// wrote is lost. Returns the bytes let go.
std::size_t releaseLinkTables() noexcept;

} // namespace tavo::platform
