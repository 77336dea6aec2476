// Keeps the toolkit from starting a session bus of its own. With no session
// bus address in the environment and no user bus in the runtime folder,
// libdbus "autolaunches": it forks the whole process and searches PATH for
// dbus-launch, which either is missing or starts a bus daemon for the display.
// Qt's accessibility bridge asks for the session bus while the first window is
// built, so this happens in every start outside a desktop session, at an
// irregular cost of tens of milliseconds. Inside a session nothing changes.
#pragma once

#include <string>

namespace tavo::platform {

// While it lives, DBUS_SESSION_BUS_ADDRESS names no bus ("disabled:"), when the
// environment gives no way to reach one without autolaunching. It takes the
// variable out again at its end, so programs the viewer starts later see the
// environment as it was.
class NoSessionBusAutolaunch {
public:
    NoSessionBusAutolaunch();
    ~NoSessionBusAutolaunch();
    NoSessionBusAutolaunch(const NoSessionBusAutolaunch&) = delete;
    NoSessionBusAutolaunch& operator=(const NoSessionBusAutolaunch&) = delete;

    bool active() const { return active_; }

private:
    bool active_ = false;
};

} // namespace tavo::platform
