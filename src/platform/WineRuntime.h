// Wine as this program uses it: the loaders that run 32- and 64-bit Windows
// programs, a private prefix under $XDG_CACHE_HOME/tavotavo/wine (never the
// user's ~/.wine), and an environment in which no Wine window, dialog,
// installer prompt or menu entry can appear.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace tavo::platform {

// The Wine loader for Windows programs of that width (32 or 64): an ELF
// program of the matching class, /usr/lib/wine/wine or wine64 as Debian
// installs them, else wine or wine64 on the PATH. TAVO_WINE32 and TAVO_WINE64
// name another one (an empty or wrong one means none). Empty when there is none.
std::string wineLoader(int bits);

// $XDG_CACHE_HOME/tavotavo/wine ($HOME/.cache when XDG_CACHE_HOME is unset or relative).
std::string winePrefixFolder();

// This process's environment for a Wine program: the private prefix, no
// debug output, no Mono or Gecko installer, no menu entries, no debugger on a
// crash, and no display to open a window on.
std::vector<std::string> wineEnvironment();

// Starts a Wine program with the given standard input and output descriptors
// (-1: /dev/null); standard error goes to /dev/null. Returns its pid, or -1.
pid_t spawnWineProgram(const std::vector<std::string>& argv, int input, int output);

// The private prefix, made on first use by running "wineboot --init" once
// (one process at a time, under a lock file beside it). A prefix made while
// Wine's 32-bit part was missing is updated once that part is there.
class WinePrefix {
public:
    static WinePrefix& instance();

    // Starts the preparation when the prefix is not ready and none runs; never
    // waits. True when the prefix is ready.
    bool poll();
    // Waits until the prefix is ready or its preparation failed or took longer
    // than limit. True when it is ready.
    bool wait(std::chrono::milliseconds limit = std::chrono::minutes(5));
    // The preparation failed in this run: Windows plug-ins are not used.
    bool failed() const { return failed_; }

private:
    WinePrefix() = default;
    bool stampCurrent() const;
    void start();
    void finish(int status);

    bool ready_ = false;
    bool failed_ = false;
    pid_t boot_ = -1;
    int lock_ = -1;
};

} // namespace tavo::platform
