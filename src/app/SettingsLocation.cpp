#include "app/SettingsLocation.h"

#include "app/Settings.h"
#include "platform/SearchFolders.h"
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
    // Without the program's folder the user's folder is the only place left.
    return settingsFilePath(platform::programFolder(), platform::configHome());
}

} // namespace tavo
