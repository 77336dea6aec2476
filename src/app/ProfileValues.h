// Text forms of the settings values: integers and colours.
#pragma once

#include "platform/Errors.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavo {

// A text that should have been an integer: "'%s' は整数ではありません".
class EConvertError : public Exception {
public:
    static constexpr const char* pattern = "'%s' は整数ではありません";
    explicit EConvertError(const std::string& text) : Exception("'" + text + "' は整数ではありません") {}
};

// Leading blanks, an optional sign, then decimal digits, or "$", "0x" or "0X"
// followed by up to 8 hexadecimal digits (taken as a 32-bit pattern, so
// "$80000018" is negative). Nothing when the text does not parse or a decimal
// value does not fit 32 bits.
std::optional<std::int32_t> parseInteger(std::string_view text);

// A colour: 0x00BBGGRR for a fixed colour, 0x80000000 plus the system colour
// number for a system colour.
using ColorValue = std::uint32_t;

inline constexpr ColorValue kSystemColorBase = 0x80000000u;
inline constexpr ColorValue clBtnFace = kSystemColorBase | 15u;

struct ColorName {
    const char* name;
    ColorValue value;
};

// The 41 colour names, the 16 fixed colours first, then the system colours in
// the order of their numbers.
extern const ColorName kColorNames[41];

// A colour name (any case) or an integer; throws EConvertError otherwise.
ColorValue stringToColor(std::string_view text);
// The colour's name when it has one, else "$" and 8 upper-case hexadecimal digits.
std::string colorToString(ColorValue color);

} // namespace tavo
