// The per-user folder that holds the instance lock and the hand-over socket.
// Whoever can enter it can take the lock or talk to the viewer, so it must be
// the user's own and closed to everyone else.
#pragma once

#include <string>

namespace tavo::platform {

// $XDG_RUNTIME_DIR when it is a private folder of this user, else
// "<tmpRoot>/tavotavo-<uid>", created with mode 0700 when missing.
// Throws ESystemError when neither can be used safely.
std::string runtimeFolder(const std::string& tmpRoot = "/tmp");

// "<runtime>/<name>", a private folder of this user created when missing:
// the instance folder of one display. Throws ESystemError when it cannot be
// created or is not private.
std::string privateSubfolder(const std::string& runtime, const std::string& name);

// True when `path` is a real folder (not a link) owned by this user with no
// access for group or others.
bool isPrivateFolder(const std::string& path);

} // namespace tavo::platform
