#include "platform/RuntimeFolder.h"

#include "platform/SystemError.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace tavo::platform {

namespace {

bool isPrivate(const struct stat& info)
{
    return S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 077) == 0;
}

// mkdir either creates the folder with our mode or fails; an existing entry
// is checked afterwards with lstat, so a planted link or foreign folder is refused.
std::string ensurePrivateFolder(const std::string& folder)
{
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw ESystemError("cannot create " + folder, errno);
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0)
        throw ESystemError("cannot inspect " + folder, errno);
    if (!isPrivate(info))
        throw ESystemError(folder + " is not a private folder of this user", EPERM);
    return folder;
}

} // namespace

bool isPrivateFolder(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && isPrivate(info);
}

std::string runtimeFolder(const std::string& tmpRoot)
{
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && xdg[0] == '/' && isPrivateFolder(xdg))
        return xdg;

    return ensurePrivateFolder(tmpRoot + "/tavotavo-" + std::to_string(geteuid()));
}

std::string privateSubfolder(const std::string& runtime, const std::string& name)
{
    return ensurePrivateFolder(runtime + "/" + name);
}

} // namespace tavo::platform
