// The text of a profile file: finding a key's value and setting one while
// every other line stays as it was. Lines end in "\n" or "\r\n"; the file's
// own line ending is used for new lines.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavo {

// The value of the first matching key of the first matching section, white
// space trimmed; nothing when either is missing.
std::optional<std::string> profileValue(std::string_view text, std::string_view section, std::string_view key);

// The text with the key set to `value`: the key's line replaced in place, or a
// new line after the section's last entry, or a new section at the end.
std::string withProfileValue(std::string_view text, std::string_view section, std::string_view key,
                             std::string_view value);

} // namespace tavo
