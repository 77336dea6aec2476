#include "app/SettingsLocation.h"

#include "app/Settings.h"
#include "platform/SystemError.h"
#include "platform/UserFolders.h"

namespace tavo {

std::string settingsFilePath(const std::string& executableFolder, const std::string& configHome)
{
    // Every write replaces the file through its folder, so the folder decides.
    if (platform::isWritableFolder(executableFolder))
        return executableFolder + "/" + kSettingsFileName;
    return configHome + "/TavoTavo/" + kSettingsFileName;
}

namespace {
std::string& overridden()
{
    static std::string path;
    return path;
}
} // namespace

void overrideSettingsFilePath(std::string path)
{
    overridden() = std::move(path);
}

std::string settingsFilePath()
{
    if (!overridden().empty())
        return overridden();
    std::string program;
    try {
        program = platform::executablePath();
    } catch (const platform::ESystemError&) {
        // Without the program's folder the user's folder is the only place left.
        return platform::configHome() + "/TavoTavo/" + kSettingsFileName;
    }
    const auto slash = program.find_last_of('/');
    const std::string folder = slash == 0 || slash == std::string::npos ? "/" : program.substr(0, slash);
    return settingsFilePath(folder, platform::configHome());
}

} // namespace tavo
