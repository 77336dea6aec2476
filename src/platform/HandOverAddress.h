// The address of the hand-over socket, shared by its two ends.
#pragma once

#include "platform/HandOverProtocol.h"
#include "platform/SystemError.h"

#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>

namespace tavo::platform {

inline std::string handOverSocketPath(const std::string& folder)
{
    return folder + "/" + kHandOverSocketName;
}

// Throws ESystemError when the path does not fit a socket address.
inline sockaddr_un handOverAddress(const std::string& socketPath)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path)
        throw ESystemError("socket path too long: " + socketPath, ENAMETOOLONG);
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    return address;
}

} // namespace tavo::platform
