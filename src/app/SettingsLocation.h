// Where "TavoTavo.INI" lives: beside the executable, as the program always
// kept it, unless that folder is closed to this user (an installed copy); then
// in the user's configuration folder, "<config>/TavoTavo/", for reads and writes.
#pragma once

#include <string>

namespace tavo {

std::string settingsFilePath(const std::string& executableFolder, const std::string& configHome);

// The same for the running program, unless a test has pointed it elsewhere.
std::string settingsFilePath();

// For tests that create the main window: its settings file goes to `path`
// instead, so that no test reads what another one wrote. Empty undoes it.
void overrideSettingsFilePath(std::string path);

} // namespace tavo
