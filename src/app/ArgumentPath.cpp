#include "app/ArgumentPath.h"

namespace tavo {

std::string absoluteAgainst(const std::string& path, const std::string& folder)
{
    if (path.empty() || path.front() == '/' || folder.empty())
        return path;
    std::string::size_type from = 0;
    while (path.compare(from, 2, "./") == 0) {
        from += 2;
        while (from < path.size() && path[from] == '/')
            ++from;
    }
    // "." alone, or only "./" steps, names the folder itself.
    std::string rest = path.substr(from);
    if (rest == ".")
        rest.clear();
    return folder + (folder.back() == '/' || rest.empty() ? "" : "/") + rest;
}

} // namespace tavo
