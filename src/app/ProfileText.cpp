#include "app/ProfileText.h"

#include <vector>

namespace tavo {

namespace {

struct Line {
    std::size_t start;   // first byte
    std::size_t end;     // one past the last byte before the line ending
    std::size_t next;    // start of the following line
};

std::vector<Line> splitLines(std::string_view text)
{
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto newline = text.find('\n', start);
        const std::size_t next = newline == std::string_view::npos ? text.size() : newline + 1;
        std::size_t end = newline == std::string_view::npos ? text.size() : newline;
        if (end > start && text[end - 1] == '\r')
            --end;
        lines.push_back({start, end, next});
        start = next;
    }
    return lines;
}

std::string_view trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// The section name when the line is a section header.
std::optional<std::string_view> sectionName(std::string_view line)
{
    line = trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const auto close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trim(line.substr(1, close - 1));
}

struct Entry {
    std::string_view key;
    std::string_view value;
};

// The key and value when the line is an entry; comments and other lines are not.
std::optional<Entry> entryOf(std::string_view line)
{
    const auto trimmed = trim(line);
    if (trimmed.empty() || trimmed.front() == ';')
        return std::nullopt;
    const auto equals = trimmed.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    const auto key = trim(trimmed.substr(0, equals));
    if (key.empty())
        return std::nullopt;
    return Entry{key, trim(trimmed.substr(equals + 1))};
}

struct Located {
    std::optional<std::size_t> header; // line of the section header
    std::optional<std::size_t> entry;  // line of the key inside it
    std::size_t lastEntry = 0;         // last entry of the section, or the header
};

Located locate(std::string_view text, const std::vector<Line>& lines, std::string_view section, std::string_view key)
{
    Located found;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto line = text.substr(lines[i].start, lines[i].end - lines[i].start);
        if (const auto name = sectionName(line)) {
            if (found.header)
                break; // only the first section of that name counts
            if (equalsIgnoringCase(*name, section)) {
                found.header = i;
                found.lastEntry = i;
            }
            continue;
        }
        if (!found.header)
            continue;
        if (const auto entry = entryOf(line)) {
            found.lastEntry = i;
            if (!found.entry && equalsIgnoringCase(entry->key, key))
                found.entry = i;
        }
    }
    return found;
}

std::string_view lineEndingOf(std::string_view text)
{
    const auto newline = text.find('\n');
    return newline != std::string_view::npos && newline > 0 && text[newline - 1] == '\r' ? "\r\n" : "\n";
}

} // namespace

std::optional<std::string> profileValue(std::string_view text, std::string_view section, std::string_view key)
{
    const auto lines = splitLines(text);
    const auto found = locate(text, lines, section, key);
    if (!found.entry)
        return std::nullopt;
    const Line& line = lines[*found.entry];
    return std::string(entryOf(text.substr(line.start, line.end - line.start))->value);
}

std::string withProfileValue(std::string_view text, std::string_view section, std::string_view key,
                             std::string_view value)
{
    const auto lines = splitLines(text);
    const auto found = locate(text, lines, section, key);
    const std::string_view eol = lineEndingOf(text);
    std::string result;
    result.reserve(text.size() + section.size() + key.size() + value.size() + 8);

    if (found.entry) {
        const Line& line = lines[*found.entry];
        const auto lineText = text.substr(line.start, line.end - line.start);
        // Keep the key as the file spells it; only the value changes.
        const auto keyText = entryOf(lineText)->key;
        result.append(text.substr(0, line.start));
        result.append(lineText.substr(0, static_cast<std::size_t>(keyText.data() - lineText.data())));
        result.append(keyText).append("=").append(value);
        result.append(text.substr(line.end));
        return result;
    }
    if (found.header) {
        const Line& after = lines[found.lastEntry];
        result.append(text.substr(0, after.next));
        if (after.next == after.end) // the file ends on that line without a line ending
            result.append(eol);
        result.append(key).append("=").append(value).append(eol);
        result.append(text.substr(after.next));
        return result;
    }
    result.append(text);
    if (!text.empty() && text.back() != '\n')
        result.append(eol);
    result.append("[").append(section).append("]").append(eol);
    result.append(key).append("=").append(value).append(eol);
    return result;
}

} // namespace tavo
