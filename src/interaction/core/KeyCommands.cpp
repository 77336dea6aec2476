#include "interaction/core/KeyCommands.h"

namespace tavo {

KeyCommand keyCommand(int virtualKey, bool shiftAlone)
{
    if (shiftAlone) {
        if (virtualKey == vk::Up)
            return KeyCommand::ZoomIn;
        if (virtualKey == vk::Down)
            return KeyCommand::ZoomOut;
        return KeyCommand::ReapplyZoom;
    }
    switch (virtualKey) {
    case vk::Space: return KeyCommand::NextPicture;
    case vk::Back: return KeyCommand::PreviousPicture;
    case vk::Up: return KeyCommand::MoveUp;
    case vk::Down: return KeyCommand::MoveDown;
    case vk::Left: return KeyCommand::MoveLeft;
    case vk::Right: return KeyCommand::MoveRight;
    case vk::F2: return KeyCommand::FitWidth;
    case vk::F3: return KeyCommand::FitWhole;
    case vk::F4: return KeyCommand::OriginalSize;
    case vk::F5: return KeyCommand::Options;
    case vk::Escape: return KeyCommand::Close;
    default: return KeyCommand::None;
    }
}

ImageBounds movedBounds(const ImageBounds& bounds, KeyCommand move)
{
    ImageBounds result = bounds;
    switch (move) {
    case KeyCommand::MoveUp: result.top -= bounds.height / 10; break;
    case KeyCommand::MoveDown: result.top += bounds.height / 10; break;
    case KeyCommand::MoveLeft: result.left -= bounds.width / 10; break;
    case KeyCommand::MoveRight: result.left += bounds.width / 10; break;
    default: break;
    }
    return result;
}

} // namespace tavo
