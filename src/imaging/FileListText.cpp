#include "imaging/FileListText.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

namespace tavo {

namespace {

// Folding uses the Unicode tables of C.UTF-8 whatever the user's character
// type is, so that "Ａ" and "ａ" match even in a session with LANG=C.
locale_t foldingLocale()
{
    static const locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return l != static_cast<locale_t>(nullptr) ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    }();
    return locale;
}

char32_t foldCodePoint(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
    if (isStrayByte(c))
        return c;
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), foldingLocale()));
}

// Decodes one UTF-8 sequence at text[at]; returns its length, or 0 when the
// bytes there are not a well-formed sequence (overlong forms and surrogates
// included).
std::size_t decodeOne(std::string_view text, std::size_t at, char32_t& out)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length;
    char32_t value;
    char32_t minimum;
    if (lead < 0x80) {
        out = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if ((next & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    out = value;
    return length;
}

} // namespace

void foldName(std::string_view name, std::u32string& out)
{
    out.clear();
    std::size_t at = 0;
    while (at < name.size()) {
        char32_t c;
        const std::size_t length = decodeOne(name, at, c);
        if (length == 0) {
            out.push_back(kStrayByteBase + static_cast<unsigned char>(name[at]));
            ++at;
        } else {
            out.push_back(foldCodePoint(c));
            at += length;
        }
    }
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a == b)
        return true;
    std::u32string foldedA;
    std::u32string foldedB;
    foldName(a, foldedA);
    foldName(b, foldedB);
    return foldedA == foldedB;
}

} // namespace tavo
