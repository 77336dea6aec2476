// The native plug-in host: tavotavo-spi-host beside the program (or the one
// TAVO_SPI_HOST names), for ELF libraries, over a socket pair with memfd regions.
#pragma once

#include "plugins/HostChannel.h"

#include <string>

namespace tavo {

class NativeHostKind : public HostKind {
public:
    bool accepts(const std::string& path) const override;
    std::unique_ptr<HostProcess> start() const override;
};

// The host program a native host runs.
std::string nativeHostProgram();

// A channel over one end of a socket pair; the memfd regions travel as
// SCM_RIGHTS descriptors. Tests drive a fake host through it.
std::unique_ptr<HostChannel> makeSocketChannel(platform::UniqueFd socket);

} // namespace tavo
