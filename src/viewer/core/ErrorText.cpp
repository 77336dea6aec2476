#include "viewer/core/ErrorText.h"

namespace tavo {

std::string errorReportText(std::string_view message)
{
    std::string text(message);
    if (text.empty())
        return text;
    // A byte of 0x80 or more belongs to a multi-byte UTF-8 character, whose
    // code point is at least U+0080 and so always after ".".
    const auto last = static_cast<unsigned char>(text.back());
    if (last >= 0x80 || last > static_cast<unsigned char>('.'))
        text += '.';
    return text;
}

} // namespace tavo
