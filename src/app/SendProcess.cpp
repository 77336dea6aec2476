#include "app/SendProcess.h"

#include "app/ArgumentPath.h"

namespace tavo {

using platform::HandOverKind;

HandOverPlan planHandOver(const std::vector<std::string>& arguments, const std::string& currentFolder)
{
    HandOverPlan plan;
    if (arguments.size() != 1 || arguments.front().empty())
        return plan;
    const std::string& argument = arguments.front();
    // The user typed a relative path relative to where they stand, not to the
    // viewer's current folder.
    if (argument.front() != '/' && currentFolder.empty()) {
        plan.refusal = "TavoTavo: 現在のフォルダが分からないため " + argument + " を渡せません";
        return plan;
    }
    std::string path = absoluteAgainst(argument, currentFolder);
    if (path.size() > platform::kMaxHandOverPath) {
        plan.refusal = "TavoTavo: パスが " + std::to_string(platform::kMaxHandOverPath)
            + " バイトを超えるため渡せません: " + path;
        return plan;
    }
    plan.kind = HandOverKind::kOpenFile;
    plan.path = std::move(path);
    return plan;
}

platform::HandOverReply SendFileToWindow(platform::HandOverConnection& window, const std::string& path)
{
    return window.exchange(platform::encodeHandOverRequest(HandOverKind::kOpenFile, path), kHandOverReplyTimeout);
}

platform::HandOverReply handOver(platform::HandOverConnection& window, const std::vector<std::string>& arguments,
              const std::string& currentFolder, std::ostream& errors)
{
    const HandOverPlan plan = planHandOver(arguments, currentFolder);
    if (!plan.refusal.empty())
        errors << plan.refusal << '\n';
    if (plan.kind == HandOverKind::kOpenFile)
        return SendFileToWindow(window, plan.path);
    return window.exchange(platform::encodeHandOverRequest(HandOverKind::kComeForward), kHandOverReplyTimeout);
}

} // namespace tavo
