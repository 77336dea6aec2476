#include "plugins/PluginInfoCache.h"

#include "platform/AtomicFile.h"

#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <sstream>

namespace tavo {

namespace {

constexpr const char* kFirstLine = "tavotavo plugin-info 1";
// A cache beyond this is damaged, not big.
constexpr std::size_t kMaxCacheBytes = 8u << 20;
constexpr std::size_t kMaxPairs = 1024;

struct FileStamp {
    long long size = -1;
    long long modified = -1; // nanoseconds
    bool operator==(const FileStamp&) const = default;
};

std::optional<FileStamp> stampOf(const std::string& path)
{
    struct stat facts = {};
    if (stat(path.c_str(), &facts) != 0 || !S_ISREG(facts.st_mode))
        return std::nullopt;
    return FileStamp{static_cast<long long>(facts.st_size),
                     static_cast<long long>(facts.st_mtim.tv_sec) * 1000000000LL + facts.st_mtim.tv_nsec};
}

// Fields are separated by tabs, records by newlines; those and the backslash
// are escaped inside a field.
std::string escaped(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::optional<std::string> unescaped(const std::string& field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size())
            return std::nullopt;
        switch (field[i]) {
        case '\\': out += '\\'; break;
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return std::nullopt;
        }
    }
    return out;
}

std::optional<long long> number(const std::string& field)
{
    if (field.empty() || field.size() > 20)
        return std::nullopt;
    char* end = nullptr;
    const long long value = std::strtoll(field.c_str(), &end, 10);
    return *end == 0 ? std::optional<long long>(value) : std::nullopt;
}

struct Record {
    FileStamp stamp;
    LibraryFacts facts;
};

// One line: path, size, time, status, entries, module path, which of the two
// first texts exist ("VN", "V", "N" or "-"), version, name, pair count, pairs.
std::string line(const std::string& path, const Record& record)
{
    const LibraryFacts& f = record.facts;
    std::string present = std::string(f.apiVersion ? "V" : "") + (f.pluginName ? "N" : "");
    std::ostringstream out;
    out << escaped(path) << '\t' << record.stamp.size << '\t' << record.stamp.modified << '\t' << f.status << '\t'
        << f.entries << '\t' << escaped(f.modulePath) << '\t' << (present.empty() ? "-" : present) << '\t'
        << escaped(f.apiVersion.value_or("")) << '\t' << escaped(f.pluginName.value_or("")) << '\t'
        << f.filters.size();
    for (std::size_t i = 0; i < f.filters.size(); ++i)
        out << '\t' << escaped(f.filters[i]) << '\t' << escaped(f.filterNames[i]);
    out << '\n';
    return out.str();
}

std::optional<std::pair<std::string, Record>> parse(const std::string& text)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = text.find('\t', start);
        fields.push_back(text.substr(start, tab - start));
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
    if (fields.size() < 10)
        return std::nullopt;
    const auto path = unescaped(fields[0]);
    const auto size = number(fields[1]);
    const auto modified = number(fields[2]);
    const auto status = number(fields[3]);
    const auto entries = number(fields[4]);
    const auto modulePath = unescaped(fields[5]);
    const auto version = unescaped(fields[7]);
    const auto name = unescaped(fields[8]);
    const auto pairs = number(fields[9]);
    if (!path || !size || !modified || !status || !entries || !modulePath || !version || !name || !pairs ||
        *pairs < 0 || static_cast<std::size_t>(*pairs) > kMaxPairs ||
        fields.size() != 10 + 2 * static_cast<std::size_t>(*pairs) || *status < INT32_MIN || *status > INT32_MAX ||
        *entries < 0 || *entries > UINT32_MAX)
        return std::nullopt;
    Record record;
    record.stamp = {*size, *modified};
    LibraryFacts& f = record.facts;
    f.status = static_cast<std::int32_t>(*status);
    f.entries = static_cast<std::uint32_t>(*entries);
    f.modulePath = *modulePath;
    const std::string& present = fields[6];
    if (present.find('V') != std::string::npos)
        f.apiVersion = *version;
    if (present.find('N') != std::string::npos)
        f.pluginName = *name;
    for (std::size_t i = 0; i < static_cast<std::size_t>(*pairs); ++i) {
        const auto filter = unescaped(fields[10 + 2 * i]);
        const auto filterName = unescaped(fields[11 + 2 * i]);
        if (!filter || !filterName)
            return std::nullopt;
        f.filters.push_back(*filter);
        f.filterNames.push_back(*filterName);
    }
    return std::make_pair(*path, std::move(record));
}

std::map<std::string, Record> readCache()
{
    std::map<std::string, Record> records;
    const auto text = platform::readWholeFile(pluginInfoCacheFile());
    if (!text || text->size() > kMaxCacheBytes)
        return records;
    std::istringstream in(*text);
    std::string current;
    if (!std::getline(in, current) || current != kFirstLine)
        return records;
    while (std::getline(in, current)) {
        if (auto parsed = parse(current))
            records[parsed->first] = std::move(parsed->second);
    }
    return records;
}

} // namespace

std::string pluginInfoCacheFile()
{
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return std::string(xdg) + "/tavotavo/plugin-info";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.cache/tavotavo/plugin-info";
}

std::optional<LibraryFacts> rememberedFacts(const std::string& path)
{
    const auto stamp = stampOf(path);
    if (!stamp)
        return std::nullopt;
    auto records = readCache();
    const auto it = records.find(path);
    if (it == records.end() || !(it->second.stamp == *stamp))
        return std::nullopt;
    return std::move(it->second.facts);
}

void rememberFacts(const std::string& path, const LibraryFacts& facts)
{
    const auto stamp = stampOf(path);
    if (!stamp || facts.filters.size() != facts.filterNames.size() || facts.filters.size() > kMaxPairs)
        return;
    auto records = readCache();
    records[path] = Record{*stamp, facts};
    std::string text = std::string(kFirstLine) + "\n";
    for (const auto& [file, record] : records) {
        const auto now = stampOf(file);
        if (now && *now == record.stamp)
            text += line(file, record);
    }
    const std::string file = pluginInfoCacheFile();
    try {
        platform::createFolders(file.substr(0, file.rfind('/')), 0700);
        platform::replaceFileAtomically(file, text);
    } catch (...) {
        // Without a cache the next start asks the plug-in again.
    }
}

} // namespace tavo
