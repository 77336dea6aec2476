#include "app/DisplayChoice.h"

#include <cstdlib>

namespace tavo {

namespace {

// "host:0.1" and "unix:0" name the same server as "host:0" and ":0": the
// screen number and the local transport do not make another display.
std::string x11DisplayName(const std::string& display)
{
    std::string name = display;
    const std::size_t colon = name.rfind(':');
    if (colon != std::string::npos) {
        const std::size_t dot = name.find('.', colon);
        if (dot != std::string::npos)
            name.erase(dot);
    }
    if (name.rfind("unix:", 0) == 0)
        name.erase(0, 4);
    return name;
}

// A display name may hold any character (a Wayland socket may be a path);
// the folder name keeps the safe ones and writes the rest as %XX.
std::string folderName(const std::string& kind, const std::string& display)
{
    static const char* hex = "0123456789ABCDEF";
    std::string name = "tavotavo-" + kind + "-";
    for (const unsigned char c : display) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.'
            || c == '_' || c == '-' || c == ':';
        if (safe) {
            name += static_cast<char>(c);
        } else {
            name += '%';
            name += hex[c >> 4];
            name += hex[c & 15];
        }
    }
    return name;
}

std::string x11Folder(const SessionDisplays& session)
{
    return session.x11.empty() ? std::string() : folderName("x11", x11DisplayName(session.x11));
}

std::string waylandFolder(const SessionDisplays& session)
{
    // The Wayland client library's own default when the variable is unset.
    return folderName("wayland", session.wayland.empty() ? "wayland-0" : session.wayland);
}

// The plug-in name of a platform choice: "wayland;xcb" tries wayland first,
// and "xcb:option=value" carries options after the name.
std::string platformName(const std::string& choice)
{
    const std::string first = choice.substr(0, choice.find(';'));
    return first.substr(0, first.find(':'));
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

DisplayChoice chooseDisplay(const SessionDisplays& session)
{
    DisplayChoice choice;
    // The argument wins over the variable, as in the toolkit.
    const std::string chosen = session.platformArgument ? *session.platformArgument : session.platformVariable;
    if (!chosen.empty()) {
        const std::string name = platformName(chosen);
        if (name.rfind("xcb", 0) == 0)
            choice.instanceFolderName = x11Folder(session);
        else if (name.rfind("wayland", 0) == 0)
            choice.instanceFolderName = waylandFolder(session);
        return choice;
    }
    const bool waylandSession = !session.wayland.empty() || session.sessionType == "wayland";
    if (!session.x11.empty()) {
        choice.forceX11 = waylandSession;
        choice.instanceFolderName = x11Folder(session);
    } else if (waylandSession) {
        choice.instanceFolderName = waylandFolder(session);
    }
    return choice;
}

SessionDisplays currentSession(const std::optional<std::string>& platformArgument)
{
    return SessionDisplays{platformArgument, environment("QT_QPA_PLATFORM"), environment("DISPLAY"),
                           environment("WAYLAND_DISPLAY"), environment("XDG_SESSION_TYPE")};
}

} // namespace tavo
