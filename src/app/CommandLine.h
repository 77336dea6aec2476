// The program's arguments. The shell has already split them, so a file named
// "a b.jpg" is one argument; the program itself is index 0.
#pragma once

#include <string>

namespace tavo {

// Kept by the program once the toolkit has taken its own options out.
void setCommandLine(int argc, const char* const* argv);

// The argument at `index`; empty when there are fewer arguments, or when no
// command line was kept (a window created by a test).
std::string CommandLineArg(int index);

} // namespace tavo
