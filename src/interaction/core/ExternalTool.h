// How an external tool is started on the current picture, decided without the
// toolkit: a program gets the picture's path as its one argument; a desktop
// entry runs its Exec line with the path; any other document is opened by the
// desktop's handler. Nothing passes through a shell.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavo {

// The [Desktop Entry] group of a .desktop file: the keys we use.
struct DesktopEntry {
    std::string exec;
    std::string icon;
};

// Parses a .desktop file's text; nothing when it has no [Desktop Entry] group.
// Values come unescaped (\s, \n, \t, \r, \\), as every string value of the format.
std::optional<DesktopEntry> parseDesktopEntry(const std::string& text);

// Splits an Exec value into arguments by its quoting rules (double quotes, in
// which a backslash escapes only " ` $ \; outside them it escapes any
// character, as in the shell) and puts the picture in place of %f/%F/%u/%U
// (as one argument; dropped when empty). Other field codes are removed; %% is
// a percent sign.
std::vector<std::string> expandDesktopExec(const std::string& exec, const std::string& picture);

enum class ToolKind { Program, DesktopEntry, Document, Missing };

// What the tool path names, from what the file system says of it.
ToolKind classifyTool(const std::string& toolPath, bool exists, bool isExecutableFile);

// The command line that starts the tool on the picture. An empty picture
// (nothing loaded yet) is passed as one empty argument to a program.
std::vector<std::string> toolCommandLine(const std::string& toolPath, ToolKind kind,
                                         const std::string& picture, const std::string& desktopEntryText);

} // namespace tavo
