#include "app/CommandLine.h"

#include <vector>

namespace tavo {

namespace {
std::vector<std::string>& arguments()
{
    static std::vector<std::string> kept;
    return kept;
}
} // namespace

void setCommandLine(int argc, const char* const* argv)
{
    arguments().assign(argv, argv + argc);
}

std::string CommandLineArg(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= arguments().size())
        return {};
    return arguments()[static_cast<std::size_t>(index)];
}

} // namespace tavo
