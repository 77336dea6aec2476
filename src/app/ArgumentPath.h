// A path typed in a shell names a file relative to the folder the user stood
// in. The viewer moves its current folder with every load, so such a path is
// made absolute against that folder before anything else uses it.
#pragma once

#include <string>

namespace tavo {

// `path` when it is absolute, or empty, or the folder is unknown (empty);
// otherwise the folder joined with the path, leading "./" steps dropped.
// ".." steps are left for the system to follow, as the shell would.
std::string absoluteAgainst(const std::string& path, const std::string& folder);

} // namespace tavo
