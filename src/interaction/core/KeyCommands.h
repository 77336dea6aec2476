// The keyboard commands of the main window: which command a key runs, by its
// virtual-key code and whether Shift is held alone.
#pragma once

#include "interaction/core/Geometry.h"

#include <cstdint>

namespace tavo {

// Virtual-key codes of the keys that have commands.
namespace vk {
inline constexpr int Back = 0x08;
inline constexpr int Escape = 0x1B;
inline constexpr int Space = 0x20;
inline constexpr int Left = 0x25;
inline constexpr int Up = 0x26;
inline constexpr int Right = 0x27;
inline constexpr int Down = 0x28;
inline constexpr int F2 = 0x71;
inline constexpr int F3 = 0x72;
inline constexpr int F4 = 0x73;
inline constexpr int F5 = 0x74;
} // namespace vk

enum class KeyCommand {
    None,
    NextPicture,
    PreviousPicture,
    MoveUp,
    MoveDown,
    MoveLeft,
    MoveRight,
    FitWidth,
    FitWhole,
    OriginalSize,
    Options,
    Close,
    ZoomIn,       // Shift alone: one step in, then the ratio re-applied about the centre
    ZoomOut,      // Shift alone: one step out, then the same
    ReapplyZoom,  // Shift alone with any other key, Shift itself included
};

// Shift held and neither Ctrl nor Alt. Shift+Ctrl is not Shift alone.
constexpr bool isShiftAlone(bool shift, bool ctrl, bool alt) { return shift && !ctrl && !alt; }

KeyCommand keyCommand(int virtualKey, bool shiftAlone);

// The bounds after an arrow move: a tenth of the control's height or width,
// truncated toward zero, in the arrow's direction.
ImageBounds movedBounds(const ImageBounds& bounds, KeyCommand move);

} // namespace tavo
