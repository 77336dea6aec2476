// The host's copy-on-write view of the viewer's data: a plug-in may write into
// its input, and those pages then become copies of the host's own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavo::spihost {

// Drops the pages of a private file mapping that were written to, so that the
// whole mapping shows the file as it is now, and the pages read before stay
// mapped. False when the written pages cannot be told (the page map cannot be
// read): the caller then maps the file afresh.
bool dropWrittenPages(std::uint8_t* data, std::size_t size);

} // namespace tavo::spihost
