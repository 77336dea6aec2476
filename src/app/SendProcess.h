// The second copy's side of the hand-over: what its arguments ask of the
// running viewer, and sending it there.
#pragma once

#include "platform/HandOverClient.h"

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

namespace tavo {

// How long the second copy waits for the viewer to handle its request, load
// included. It ends with 0 either way; the viewer finishes the work regardless.
inline constexpr std::chrono::milliseconds kHandOverReplyTimeout{15000};

struct HandOverPlan {
    platform::HandOverKind kind = platform::HandOverKind::kComeForward;
    std::string path;    // absolute, for kOpenFile
    std::string refusal; // why an argument is not handed over, for standard error
};

// Exactly one non-empty argument is handed over, made absolute against the
// second copy's own current folder; anything else only brings the viewer forward.
// A path beyond the platform's limit is refused with a message.
HandOverPlan planHandOver(const std::vector<std::string>& arguments, const std::string& currentFolder);

// Hands `path` to the viewer and waits until it has opened it.
platform::HandOverReply SendFileToWindow(platform::HandOverConnection& window, const std::string& path);

// Carries out the plan of `arguments` over `window`, writing any refusal to
// `errors`; returns the viewer's answer.
platform::HandOverReply handOver(platform::HandOverConnection& window, const std::vector<std::string>& arguments,
              const std::string& currentFolder, std::ostream& errors);

} // namespace tavo
