// The text of the application's error report.
#pragma once

#include <string>
#include <string_view>

namespace tavo {

// The error's message with a full stop appended when its last character sorts
// after ".": the last character's Unicode code point is compared with U+002E.
// A message ending in a letter, a digit or any non-ASCII character (every
// Japanese message) gets one; one ending in ".", "!", ")" or a blank does not.
// An empty message stays empty.
std::string errorReportText(std::string_view message);

} // namespace tavo
