// A platform call that failed in a way the program cannot work around: the
// message names what was attempted and the system's reason.
#pragma once

#include "platform/Errors.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace tavo::platform {

class ESystemError : public Exception {
public:
    ESystemError(const std::string& what, int error)
        : Exception(what + ": " + std::strerror(error)), error_(error)
    {
    }
    int error() const { return error_; }

private:
    int error_;
};

} // namespace tavo::platform
