#include "app/StartSequence.h"

#include "app/SendProcess.h"
#include "platform/HandOverClient.h"
#include "platform/RuntimeFolder.h"
#include "platform/SystemError.h"
#include "platform/UserFolders.h"

#include <thread>

namespace tavo {

namespace {

ViewerInstance becomeViewer(platform::InstanceLock lock, const std::string& folder, std::ostream& errors)
{
    ViewerInstance viewer{std::move(lock), nullptr};
    try {
        viewer.server = std::make_unique<platform::HandOverServer>(folder);
    } catch (const platform::ESystemError& error) {
        // The viewer still works; only later copies cannot reach it.
        errors << "TavoTavo: " << error.what() << '\n';
    }
    return viewer;
}

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
            return becomeViewer(std::move(*lock), folder, errors);
        if (auto window = platform::HandOverConnection::connect(folder)) {
            handOver(*window, arguments, currentFolder, errors);
            return std::nullopt;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt; // a viewer holds the lock but never listened
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::optional<ViewerInstance> startInstance(const std::vector<std::string>& arguments, std::ostream& errors)
{
    std::string folder;
    try {
        folder = platform::runtimeFolder();
        return startInstance(folder, arguments, platform::currentFolder(), errors);
    } catch (const platform::ESystemError& error) {
        errors << "TavoTavo: " << error.what() << '\n';
        return ViewerInstance{};
    }
}

} // namespace tavo
