#include "imaging/FileListMask.h"

#include "imaging/FileListText.h"

namespace tavo {

namespace {

// The classic two-pointer wildcard match: on a mismatch, the last "*" takes one
// more character. Linear for one "*", at most name × pattern in general.
bool matchesPattern(const std::u32string& pattern, const std::u32string& name)
{
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starAt = std::u32string::npos;
    std::size_t resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == U'*') {
            starAt = p++;
            resumeAt = n;
        } else if (starAt != std::u32string::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*')
        ++p;
    return p == pattern.size();
}

} // namespace

FileListMask::FileListMask(std::string_view mask)
{
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = mask.find(';', start);
        const std::string_view pattern = mask.substr(start, end == std::string_view::npos ? end : end - start);
        // An empty pattern matches no name, as an empty search finds nothing.
        if (!pattern.empty()) {
            std::u32string folded;
            foldName(pattern, folded);
            patterns_.push_back(std::move(folded));
        }
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
}

bool FileListMask::matches(std::string_view name) const
{
    if (patterns_.empty())
        return false;
    foldName(name, folded_);
    for (const auto& pattern : patterns_)
        if (matchesPattern(pattern, folded_))
            return true;
    return false;
}

bool FileListMask::hasWildcard(std::string_view text) { return text.find_first_of("*?") != std::string_view::npos; }

} // namespace tavo
