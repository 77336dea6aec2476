#include "imaging/PathParts.h"

namespace tavo {

namespace {
std::size_t fileNameStart(std::string_view path)
{
    const auto slash = path.rfind(kPathDelimiter);
    return slash == std::string_view::npos ? 0 : slash + 1;
}
} // namespace

std::string folderPart(std::string_view path) { return std::string(path.substr(0, fileNameStart(path))); }

std::string fileNamePart(std::string_view path) { return std::string(path.substr(fileNameStart(path))); }

std::string extensionPart(std::string_view path)
{
    const auto start = fileNameStart(path);
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < start)
        return {};
    return std::string(path.substr(dot));
}

std::string upperCaseAscii(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return result;
}

} // namespace tavo
