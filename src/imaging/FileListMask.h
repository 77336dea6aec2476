// A file-name mask: patterns separated by ";", each matched against the whole
// name, case-insensitively, "*" standing for any run of characters and "?" for
// one character. Nothing else is special, so "[" and "]" match themselves.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavo {

class FileListMask {
public:
    explicit FileListMask(std::string_view mask);

    // True when any of the patterns matches the name.
    bool matches(std::string_view name) const;

    static bool hasWildcard(std::string_view text);

private:
    std::vector<std::u32string> patterns_;
    mutable std::u32string folded_;
};

} // namespace tavo
