// The brands of an ISO base media file's 'ftyp' box, read from the start of
// the data, for the signature checks of the HEIF and AVIF plug-ins: both
// formats share the container and differ only in their brands.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavo::spi {

// True when the data starts with an 'ftyp' box whose major or compatible
// brands include one of the four-character codes in brands. Only the box's
// bytes within size are read.
bool hasIsoBrand(const std::uint8_t* data, std::size_t size, const char* const* brands, std::size_t count);

} // namespace tavo::spi
