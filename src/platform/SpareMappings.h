// The last freed picture-sized mapping, kept for the next picture. On a
// virtual machine in particular, a page touched for the first time can cost
// far more than one the process has used before, and memory given back to the
// system soon becomes new to it again; a viewer that leafs through a folder
// frees a picture of about the size of the next one at every step. A kept mapping's
// pages are marked free for the kernel to take back under memory pressure
// (MADV_FREE), so keeping them costs no memory the system needs elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavo::platform {

struct Mapping {
    std::uint8_t* start = nullptr;
    std::size_t length = 0;
};

// A kept mapping of at least `length` bytes and less than twice that, or an
// empty one. Its contents are undefined.
Mapping takeSpareMapping(std::size_t length) noexcept;
// Keeps the mapping in place of the one kept before, or unmaps it when it is
// not of a picture's size.
void keepSpareMapping(Mapping mapping) noexcept;

} // namespace tavo::platform
