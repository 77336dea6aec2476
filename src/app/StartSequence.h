// The start's one decision: become the viewer, or hand the file to the viewer
// that runs and end. Made by a small program that loads no toolkit, so a
// second copy starts fast and never opens a window or flashes on screen; the
// first copy then becomes the window program in the same process, keeping
// the lock.
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

// The program that shows the window, beside the start program.
inline constexpr const char* kViewerProgramName = "tavotavo-viewer";

// What a process that becomes the viewer holds until it ends.
struct ViewerInstance {
    std::optional<platform::InstanceLock> lock; // none when running without one
    std::string folder;                         // the runtime folder; empty without one
};

// Tries for the lock in `folder`; when another process holds it, connects to
// that viewer and hands over `arguments` (those after the program). Returns
// the viewer's holdings, or nothing when this process has done its hand-over
// (or gave up after `wait`) and should end with exit code 0.
std::optional<ViewerInstance> startInstance(const std::string& folder, const std::vector<std::string>& arguments,
                                            const std::string& currentFolder, std::ostream& errors,
                                            std::chrono::milliseconds wait = kViewerStartWait);

// The folder of this user's viewer on the display the session and the
// -platform argument name: a private folder in the user's runtime folder.
// Throws ESystemError when it cannot be used safely.
std::string instanceFolder(const std::optional<std::string>& platformArgument);

// The same in instanceFolder(), the toolkit's -platform option taken out of
// `arguments`. When that folder cannot be used safely the process runs as a
// viewer of its own, with a message.
std::optional<ViewerInstance> startInstance(const std::vector<std::string>& arguments, std::ostream& errors);

// The viewer's end of the hand-over socket; none, with a message, when it
// cannot be set up (the viewer still works, later copies just cannot reach it).
std::unique_ptr<platform::HandOverServer> openHandOverServer(const ViewerInstance& instance, std::ostream& errors);

// Becomes the window program (kViewerProgramName in the start program's
// folder) with the same arguments, passing the instance on. Returns only by
// throwing ESystemError.
[[noreturn]] void becomeViewerProgram(ViewerInstance& instance, char* const* argv);

// In the window program: the instance the start program passed on, if it
// started this one.
std::optional<ViewerInstance> inheritedViewerInstance();

} // namespace tavo
