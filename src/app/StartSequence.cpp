#include "app/StartSequence.h"

#include "app/DisplayChoice.h"
#include "app/ProgramOptions.h"
#include "app/SendProcess.h"
#include "platform/HandOverClient.h"
#include "platform/ProgramExec.h"
#include "platform/RuntimeFolder.h"
#include "platform/SystemError.h"
#include "platform/SearchFolders.h"

#include <sstream>
#include <thread>

namespace tavo {

namespace {
// "<lock descriptor or -1> <runtime folder>"
constexpr const char* kInstanceVariable = "TAVOTAVO_INSTANCE";
} // namespace

std::optional<ViewerInstance> startInstance(const std::string& folder, const std::vector<std::string>& arguments,
                                            const std::string& currentFolder, std::ostream& errors,
                                            std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        // The lock is asked again on every round: a viewer that was closing
        // when we started lets this copy take over instead of dropping its file.
        if (auto lock = platform::InstanceLock::tryAcquire(folder))
            return ViewerInstance{std::move(*lock), folder};
        std::optional<platform::HandOverReply> reply;
        if (auto window = platform::HandOverConnection::connect(folder))
            reply = handOver(*window, arguments, currentFolder, errors);
        // A viewer that closed the connection unanswered was ending: ask again,
        // so that this copy takes over rather than losing its file.
        if (reply && *reply != platform::HandOverReply::kClosed)
            return std::nullopt;
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt; // a viewer holds the lock but never listened
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string instanceFolder(const std::optional<std::string>& platformArgument)
{
    const std::string runtime = platform::runtimeFolder();
    const DisplayChoice choice = chooseDisplay(currentSession(platformArgument));
    return choice.instanceFolderName.empty() ? runtime : platform::privateSubfolder(runtime, choice.instanceFolderName);
}

std::optional<ViewerInstance> startInstance(const std::vector<std::string>& arguments, std::ostream& errors)
{
    const ProgramOptions options = parseProgramOptions(arguments);
    try {
        return startInstance(instanceFolder(options.platform), options.arguments, platform::currentFolder(), errors);
    } catch (const platform::ESystemError& error) {
        errors << "TavoTavo: " << error.what() << '\n';
        return ViewerInstance{};
    }
}

std::unique_ptr<platform::HandOverServer> openHandOverServer(const ViewerInstance& instance, std::ostream& errors)
{
    if (!instance.lock)
        return nullptr;
    try {
        return std::make_unique<platform::HandOverServer>(instance.folder);
    } catch (const platform::ESystemError& error) {
        errors << "TavoTavo: " << error.what() << '\n';
        return nullptr;
    }
}

void becomeViewerProgram(ViewerInstance& instance, char* const* argv)
{
    const std::string folder = platform::programFolder();
    const std::string viewer = (folder == "/" ? folder : folder + "/") + kViewerProgramName;
    const int fd = instance.lock ? instance.lock->keepAcrossExec() : -1;
    platform::replaceProgram(viewer, argv, kInstanceVariable, std::to_string(fd) + " " + instance.folder);
}

std::optional<ViewerInstance> inheritedViewerInstance()
{
    const auto value = platform::takeEnvironmentVariable(kInstanceVariable);
    if (!value)
        return std::nullopt;
    std::istringstream fields(*value);
    int fd = -1;
    if (!(fields >> fd))
        return std::nullopt;
    ViewerInstance instance;
    fields.get(); // the blank before the folder, which may hold blanks itself
    std::getline(fields, instance.folder);
    if (fd < 0)
        return instance;
    try {
        instance.lock = platform::InstanceLock::adopt(fd, instance.folder);
    } catch (const platform::ESystemError&) {
        return std::nullopt; // not what it claims: decide afresh
    }
    return instance;
}

} // namespace tavo
