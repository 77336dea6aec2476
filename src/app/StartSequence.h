// The start's one decision: become the viewer, or hand the file to the viewer
// that runs and end. Made before any toolkit object exists, so a second copy
// never opens a window or flashes on screen.
#pragma once

#include "platform/HandOverServer.h"
#include "platform/InstanceLock.h"

#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tavo {

// How long a second copy keeps trying when the lock is held but the viewer is
// not listening yet (it is still starting), so a quick double start loses no file.
inline constexpr std::chrono::milliseconds kViewerStartWait{3000};

// What a process that becomes the viewer holds until it ends.
struct ViewerInstance {
    std::optional<platform::InstanceLock> lock;       // none when running without one
    std::unique_ptr<platform::HandOverServer> server; // none when the socket could not be set up
};

// Tries for the lock in `folder`; when another process holds it, connects to
// that viewer and hands over `arguments` (those after the program). Returns
// the viewer's holdings, or nothing when this process has done its hand-over
// (or gave up after `wait`) and should end with exit code 0.
std::optional<ViewerInstance> startInstance(const std::string& folder, const std::vector<std::string>& arguments,
                                            const std::string& currentFolder, std::ostream& errors,
                                            std::chrono::milliseconds wait = kViewerStartWait);

// The same in the user's runtime folder. When that folder cannot be used
// safely the process runs as a viewer of its own, with a message.
std::optional<ViewerInstance> startInstance(const std::vector<std::string>& arguments, std::ostream& errors);

} // namespace tavo
