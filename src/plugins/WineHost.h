// The plug-in host for Windows plug-ins: our bridge program
// (tavotavo-spi-bridge32.exe or 64.exe beside the program) run under Wine in
// the private prefix. It speaks the host protocol on a socket pair that is
// its standard input and output; the regions are files in a private folder
// (mode 0700) made for each bridge, named to it as its one argument: the
// viewer's as "region-<n>" below 2^31, the bridge's from 2^31 up. The viewer
// deletes every file when it has read it or its block is no longer needed.
#pragma once

#include "plugins/HostChannel.h"

#include <string>

namespace tavo {

class WineHostKind : public HostKind {
public:
    // bits: 32 for i386 libraries, 64 for x86-64 ones.
    explicit WineHostKind(int bits) : bits_(bits) {}

    // A Windows library of this width, when Wine runs programs of that width
    // here and the bridge is built.
    bool accepts(const std::string& path) const override;
    // Waits for the prefix (made on first use), then starts the bridge and
    // waits until it has said it is ready.
    std::unique_ptr<HostProcess> start() const override;
    // Starting Wine takes seconds: what a library told an earlier run is kept.
    std::optional<LibraryFacts> remembered(const std::string& path) const override;
    void remember(const std::string& path, const LibraryFacts& facts) const override;

private:
    int bits_;
};

// The bridge program of that width beside the running program, or in the
// folder TAVO_SPI_BRIDGES names.
std::string wineBridgeProgram(int bits);

} // namespace tavo
