// Starting an external tool on the current picture.
#pragma once

#include <string>

namespace tavo {

// Starts the tool with the picture's path as its one argument (an empty
// argument before any load). An empty tool path does nothing. Whether the
// tool started is not examined by the viewer; the result serves tests.
bool startExternalTool(const std::string& toolPath, const std::string& picture);

} // namespace tavo
