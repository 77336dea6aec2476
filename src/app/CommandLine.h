// The process's arguments. The shell has already split them, so a file named
// "a b.jpg" is one argument; the program itself is index 0.
#pragma once

#include <string>

namespace tavo {

// The argument at `index` as the process was started; empty when there are
// fewer arguments.
std::string CommandLineArg(int index);

} // namespace tavo
