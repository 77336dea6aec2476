#include "interaction/core/ExternalTool.h"

#include <sstream>
#include <string_view>

namespace tavo {

namespace {

bool endsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// The escapes of every string value: \s, \n, \t, \r and \\. Others stay as written.
std::string unescapeValue(const std::string& value)
{
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (const char next = value[++i]) {
        case 's': out += ' '; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: out += '\\'; out += next; break;
        }
    }
    return out;
}

} // namespace

std::optional<DesktopEntry> parseDesktopEntry(const std::string& text)
{
    std::istringstream in(text);
    std::string line;
    bool inGroup = false;
    bool seenGroup = false;
    DesktopEntry entry;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (line.front() == '[') {
            inGroup = line == "[Desktop Entry]";
            seenGroup = seenGroup || inGroup;
            continue;
        }
        if (!inGroup)
            continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = trim(line.substr(0, eq));
        const std::string value = trim(line.substr(eq + 1));
        if (key == "Exec")
            entry.exec = unescapeValue(value);
        else if (key == "Icon")
            entry.icon = unescapeValue(value);
    }
    if (!seenGroup)
        return std::nullopt;
    return entry;
}

std::vector<std::string> expandDesktopExec(const std::string& exec, const std::string& picture)
{
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    bool fileCodeSeen = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            // Inside quotes a backslash escapes only these, as in the shell.
            if (c == '\\' && i + 1 < exec.size() && std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos) {
                current += exec[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                current += c;
            }
            continue;
        }
        if (c == '"') {
            quoted = true;
            inArgument = true;
        } else if (c == '\\' && i + 1 < exec.size()) {
            current += exec[++i];
            inArgument = true;
        } else if (c == ' ' || c == '\t') {
            if (inArgument)
                args.push_back(current);
            current.clear();
            inArgument = false;
        } else if (c == '%' && i + 1 < exec.size()) {
            const char code = exec[++i];
            if (code == '%') {
                current += '%';
                inArgument = true;
            } else if (code == 'f' || code == 'F' || code == 'u' || code == 'U') {
                fileCodeSeen = true;
                if (!picture.empty()) {
                    current += picture;
                    inArgument = true;
                }
            }
            // Every other field code expands to nothing.
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument)
        args.push_back(current);
    // An Exec line without a file code still gets the picture, as a program would.
    if (!fileCodeSeen && !picture.empty() && !args.empty())
        args.push_back(picture);
    return args;
}

ToolKind classifyTool(const std::string& toolPath, bool exists, bool isExecutableFile)
{
    if (toolPath.empty())
        return ToolKind::Missing;
    if (endsWith(toolPath, ".desktop") && exists)
        return ToolKind::DesktopEntry;
    if (isExecutableFile)
        return ToolKind::Program;
    if (exists)
        return ToolKind::Document;
    // A bare name is looked up in PATH when it is started.
    return toolPath.find('/') == std::string::npos ? ToolKind::Program : ToolKind::Missing;
}

std::vector<std::string> toolCommandLine(const std::string& toolPath, ToolKind kind,
                                         const std::string& picture, const std::string& desktopEntryText)
{
    switch (kind) {
    case ToolKind::Program:
        return {toolPath, picture};
    case ToolKind::DesktopEntry: {
        const auto entry = parseDesktopEntry(desktopEntryText);
        if (!entry)
            return {};
        return expandDesktopExec(entry->exec, picture);
    }
    case ToolKind::Document:
        return {"xdg-open", toolPath};
    case ToolKind::Missing:
        break;
    }
    return {};
}

} // namespace tavo
