#include "app/ProfileValues.h"

#include <cstdio>

namespace tavo {

const ColorName kColorNames[41] = {
    {"clBlack", 0x000000},       {"clMaroon", 0x000080},  {"clGreen", 0x008000},
    {"clOlive", 0x008080},       {"clNavy", 0x800000},    {"clPurple", 0x800080},
    {"clTeal", 0x808000},        {"clGray", 0x808080},    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},         {"clLime", 0x00FF00},    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},        {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clScrollBar", kSystemColorBase | 0},
    {"clBackground", kSystemColorBase | 1},
    {"clActiveCaption", kSystemColorBase | 2},
    {"clInactiveCaption", kSystemColorBase | 3},
    {"clMenu", kSystemColorBase | 4},
    {"clWindow", kSystemColorBase | 5},
    {"clWindowFrame", kSystemColorBase | 6},
    {"clMenuText", kSystemColorBase | 7},
    {"clWindowText", kSystemColorBase | 8},
    {"clCaptionText", kSystemColorBase | 9},
    {"clActiveBorder", kSystemColorBase | 10},
    {"clInactiveBorder", kSystemColorBase | 11},
    {"clAppWorkSpace", kSystemColorBase | 12},
    {"clHighlight", kSystemColorBase | 13},
    {"clHighlightText", kSystemColorBase | 14},
    {"clBtnFace", kSystemColorBase | 15},
    {"clBtnShadow", kSystemColorBase | 16},
    {"clGrayText", kSystemColorBase | 17},
    {"clBtnText", kSystemColorBase | 18},
    {"clInactiveCaptionText", kSystemColorBase | 19},
    {"clBtnHighlight", kSystemColorBase | 20},
    {"cl3DDkShadow", kSystemColorBase | 21},
    {"cl3DLight", kSystemColorBase | 22},
    {"clInfoText", kSystemColorBase | 23},
    {"clInfoBk", kSystemColorBase | 24},
};

namespace {

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lowerAscii(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

} // namespace

std::optional<std::int32_t> parseInteger(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && text[at] == ' ')
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';

    bool hex = false;
    if (at < text.size() && text[at] == '$') {
        hex = true;
        at += 1;
    } else if (at + 1 < text.size() && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X')) {
        hex = true;
        at += 2;
    }
    if (at == text.size())
        return std::nullopt;

    std::uint64_t value = 0;
    for (; at < text.size(); ++at) {
        if (hex) {
            const int digit = hexDigit(text[at]);
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + std::uint64_t(digit);
            if (value > 0xFFFFFFFFu)
                return std::nullopt;
        } else {
            if (text[at] < '0' || text[at] > '9')
                return std::nullopt;
            value = value * 10 + std::uint64_t(text[at] - '0');
            if (value > (negative ? 0x80000000u : 0x7FFFFFFFu))
                return std::nullopt;
        }
    }
    // Hexadecimal values are 32-bit patterns; the sign applies to the result.
    const auto pattern = static_cast<std::uint32_t>(value);
    const auto result = static_cast<std::int32_t>(negative ? 0u - pattern : pattern);
    return result;
}

ColorValue stringToColor(std::string_view text)
{
    for (const ColorName& entry : kColorNames)
        if (equalsIgnoringCase(text, entry.name))
            return entry.value;
    if (const auto value = parseInteger(text))
        return static_cast<ColorValue>(*value);
    throw EConvertError(std::string(text));
}

std::string colorToString(ColorValue color)
{
    for (const ColorName& entry : kColorNames)
        if (entry.value == color)
            return entry.name;
    char text[10];
    std::snprintf(text, sizeof text, "$%08X", color);
    return text;
}

} // namespace tavo
