// File names as the folder listing compares them: byte strings read as UTF-8
// and folded to lower case. A byte that is not part of a well-formed UTF-8
// sequence stays a value of its own, so that no name is dropped or merged with
// another by decoding.
#pragma once

#include <string>
#include <string_view>

namespace tavo {

// Code points above the Unicode range stand for bytes that are not UTF-8.
inline constexpr char32_t kStrayByteBase = 0x110000;

inline bool isStrayByte(char32_t c) { return c >= kStrayByteBase; }

// The name's code points, each folded to lower case; stray bytes as
// kStrayByteBase + byte. Appends to out, which is cleared first.
void foldName(std::string_view name, std::u32string& out);

bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace tavo
