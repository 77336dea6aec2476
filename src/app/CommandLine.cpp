#include "app/CommandLine.h"

#include "platform/UserFolders.h"

namespace tavo {

std::string CommandLineArg(int index)
{
    const auto arguments = platform::processArguments();
    if (index < 0 || static_cast<std::size_t>(index) >= arguments.size())
        return {};
    return arguments[static_cast<std::size_t>(index)];
}

} // namespace tavo
