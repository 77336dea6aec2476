// Parts of a path, found from its end: the folder part runs up to and including
// the last "/", the file-name part is what follows it, and the extension is the
// text from the last "." on when that dot lies in the file-name part. Paths are
// byte strings; "/" and "." never occur inside a UTF-8 multi-byte character.
#pragma once

#include <string>
#include <string_view>

namespace tavo {

inline constexpr char kPathDelimiter = '/';

std::string folderPart(std::string_view path);
std::string fileNamePart(std::string_view path);
// With its dot; empty when the file-name part has no dot.
std::string extensionPart(std::string_view path);
// Byte by byte: a to z become capitals, nothing else changes.
std::string upperCaseAscii(std::string_view text);

} // namespace tavo
