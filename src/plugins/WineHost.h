// The plug-in host for Windows plug-ins: our bridge program
// (tavotavo-spi-bridge32.exe or 64.exe beside the program) run under Wine in
// the private prefix. It speaks the host protocol on a socket pair that is
// its standard input and output; the regions are files in a private folder
// (mode 0700) made for each bridge, named to it as its one argument: the
// viewer's "region-<n>" below 2^31, deleted when their block goes; the
// bridge's from 2^31 up, which it writes again for each picture and which go
// with the folder.
#pragma once

#include "plugins/HostChannel.h"

#include <memory>
#include <string>

namespace tavo {

class WineHostKind : public HostKind {
public:
    // bits: 32 for i386 libraries, 64 for x86-64 ones.
    explicit WineHostKind(int bits) : bits_(bits) {}

    // A Windows library of this width, when Wine runs programs of that width
    // here and the bridge is built.
    bool accepts(const std::string& path) const override;
    // Waits for the prefix (made on first use), then starts the bridge (or
    // takes the one prepare started) and waits until it has said it is ready.
    std::unique_ptr<HostProcess> start() const override;
    // Makes the prefix and starts a bridge in the background, one step a call.
    bool prepare() const override;
    // Starting Wine takes seconds: what a library told an earlier run is kept.
    std::optional<LibraryFacts> remembered(const std::string& path) const override;
    void remember(const std::string& path, const LibraryFacts& facts) const override;

private:
    // A bridge started, not yet waited for.
    std::unique_ptr<HostProcess> launch() const;

    int bits_;
    mutable std::unique_ptr<HostProcess> launched_;
    mutable int launchedSocket_ = -1;
};

// The bridge program of that width beside the running program, or in the
// folder TAVO_SPI_BRIDGES names.
std::string wineBridgeProgram(int bits);

} // namespace tavo
