// The start program's own options, read before anything else: --help and
// --version, and the toolkit's -platform, which decides the display the
// viewer belongs to. Every other argument is left as it is, so a picture
// literally named "--help" is still reachable as ./--help.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavo {

enum class ProgramRequest { kRun, kHelp, kVersion };

struct ProgramOptions {
    ProgramRequest request = ProgramRequest::kRun;
    // The value of "-platform NAME" (or "--platform NAME"), which the toolkit
    // takes out of the viewer's arguments itself.
    std::optional<std::string> platform;
    // The arguments without the toolkit's option: what a second copy hands over.
    std::vector<std::string> arguments;
};

// `arguments` are those after the program.
ProgramOptions parseProgramOptions(const std::vector<std::string>& arguments);

// What --help and --version print.
std::string usageText();
std::string versionText();

} // namespace tavo
