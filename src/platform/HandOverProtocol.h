// The request a second copy sends to the running viewer over the hand-over
// socket, and the one-byte reply that the viewer sends once it has handled it.
//
// Request: "TAVO", one kind byte, the payload length as 4 bytes little-endian,
// then the payload. Both kinds bring the viewer forward and restore it when it
// is minimised; kOpenFile then opens the payload, a path taken as raw bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavo::platform {

// The socket is named after the viewer's window class, which a second copy
// looks for.
inline constexpr const char* kHandOverSocketName = "TfrmTavo2MainForm";

// The longest path the platform passes to open().
inline constexpr std::size_t kMaxHandOverPath = 4096;

enum class HandOverKind : char {
    kComeForward = 'F', // no payload
    kOpenFile = 'O',    // payload: 1 to kMaxHandOverPath bytes, no NUL
};

inline constexpr std::size_t kHandOverHeaderSize = 9;
inline constexpr char kReplyHandled = 'K';
inline constexpr char kReplyRefused = 'E';

struct HandOverHeader {
    HandOverKind kind;
    std::uint32_t length;
};

// The bytes of a request. The caller keeps `path` within the rules above.
std::string encodeHandOverRequest(HandOverKind kind, std::string_view path = {});

// The header when `bytes` (kHandOverHeaderSize long) is a well-formed one:
// known magic and kind, and a length that fits the kind.
std::optional<HandOverHeader> decodeHandOverHeader(std::string_view bytes);

// A payload the viewer accepts as a path: no NUL; bytes are taken as they are.
bool isValidHandOverPath(std::string_view path);

} // namespace tavo::platform
