#include "platform/HandOverProtocol.h"

namespace tavo::platform {

namespace {
constexpr std::string_view kMagic = "TAVO";
}

std::string encodeHandOverRequest(HandOverKind kind, std::string_view path)
{
    std::string bytes(kMagic);
    bytes.push_back(static_cast<char>(kind));
    const auto length = static_cast<std::uint32_t>(path.size());
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<char>((length >> shift) & 0xFF));
    bytes.append(path);
    return bytes;
}

std::optional<HandOverHeader> decodeHandOverHeader(std::string_view bytes)
{
    if (bytes.size() != kHandOverHeaderSize || bytes.substr(0, 4) != kMagic)
        return std::nullopt;
    std::uint32_t length = 0;
    for (int i = 0; i < 4; ++i)
        length |= std::uint32_t(static_cast<unsigned char>(bytes[5 + i])) << (8 * i);
    switch (static_cast<HandOverKind>(bytes[4])) {
    case HandOverKind::kComeForward:
        if (length != 0)
            return std::nullopt;
        return HandOverHeader{HandOverKind::kComeForward, 0};
    case HandOverKind::kOpenFile:
        if (length == 0 || length > kMaxHandOverPath)
            return std::nullopt;
        return HandOverHeader{HandOverKind::kOpenFile, length};
    }
    return std::nullopt;
}

bool isValidHandOverPath(std::string_view path)
{
    return !path.empty() && path.size() <= kMaxHandOverPath && path.find('\0') == std::string_view::npos;
}

} // namespace tavo::platform
