#include "platform/ProgramExec.h"

#include "platform/SystemError.h"

#include <cstdlib>
#include <unistd.h>

namespace tavo::platform {

void replaceProgram(const std::string& program, char* const* argv, const std::string& name, const std::string& value)
{
    if (setenv(name.c_str(), value.c_str(), 1) != 0)
        throw ESystemError("cannot set " + name, errno);
    execv(program.c_str(), argv);
    const int error = errno;
    unsetenv(name.c_str());
    throw ESystemError("cannot start " + program, error);
}

std::optional<std::string> takeEnvironmentVariable(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    if (!value)
        return std::nullopt;
    std::string kept = value;
    unsetenv(name.c_str());
    return kept;
}

} // namespace tavo::platform
