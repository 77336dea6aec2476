// Which window system the viewer talks to and which display its single
// instance belongs to. On a Wayland session that also offers an X display
// (XWayland) the viewer uses X, unless the user chose a platform: it warps the
// pointer and places its window, which Wayland does not let a client do.
// One viewer runs per user and per display, so the display names the folder
// of the instance lock and the hand-over socket.
#pragma once

#include <optional>
#include <string>

namespace tavo {

// What the environment and the command line say about the session.
struct SessionDisplays {
    std::optional<std::string> platformArgument; // "-platform NAME"
    std::string platformVariable;                // QT_QPA_PLATFORM
    std::string x11;                             // DISPLAY
    std::string wayland;                         // WAYLAND_DISPLAY
    std::string sessionType;                     // XDG_SESSION_TYPE
};

struct DisplayChoice {
    bool forceX11 = false; // the viewer is to be started with "-platform xcb"
    // The display the viewer will show on, as the name of its instance folder
    // ("tavotavo-x11-:0", "tavotavo-wayland-wayland-0"); empty when it has
    // none (an offscreen platform), and then the runtime folder itself serves.
    std::string instanceFolderName;
};

DisplayChoice chooseDisplay(const SessionDisplays& session);

// The session of this process, with the -platform value of its command line.
SessionDisplays currentSession(const std::optional<std::string>& platformArgument);

} // namespace tavo
