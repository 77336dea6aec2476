#include "platform/SessionBus.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace tavo::platform {

namespace {
constexpr const char* kAddressVariable = "DBUS_SESSION_BUS_ADDRESS";

// libdbus's own second choice: the socket "bus" of the user in XDG_RUNTIME_DIR.
bool userBusExists()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime == '\0')
        return false;
    struct stat info {};
    const std::string socket = std::string(runtime) + "/bus";
    return stat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) && info.st_uid == getuid();
}
} // namespace

NoSessionBusAutolaunch::NoSessionBusAutolaunch()
{
    const char* address = std::getenv(kAddressVariable);
    if (address != nullptr || userBusExists())
        return;
    active_ = setenv(kAddressVariable, "disabled:", 1) == 0;
}

NoSessionBusAutolaunch::~NoSessionBusAutolaunch()
{
    if (active_)
        unsetenv(kAddressVariable);
}

} // namespace tavo::platform
