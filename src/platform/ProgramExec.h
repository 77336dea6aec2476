// Replacing the running program by another one in the same process: the
// process keeps its id and the descriptors left open across the exec.
#pragma once

#include <optional>
#include <string>

namespace tavo::platform {

// Runs `program` in place of this one with `argv` (null-terminated), with the
// variable `name` set to `value` in its environment. Returns only by
// throwing ESystemError.
[[noreturn]] void replaceProgram(const std::string& program, char* const* argv, const std::string& name,
                                 const std::string& value);

// The variable's value, removed from the environment so that the programs
// this one starts do not see it; nothing when it is not set.
std::optional<std::string> takeEnvironmentVariable(const std::string& name);

} // namespace tavo::platform
