#include "viewer/core/WindowCaption.h"

namespace tavo {

std::string captionForToolkit(const std::string& caption)
{
    static const std::string kPlaceholder = "[*]";
    std::string result;
    result.reserve(caption.size());
    std::string::size_type from = 0;
    for (auto at = caption.find(kPlaceholder); at != std::string::npos; at = caption.find(kPlaceholder, from)) {
        result.append(caption, from, at - from).append(kPlaceholder).append(kPlaceholder);
        from = at + kPlaceholder.size();
    }
    return result.append(caption, from);
}

} // namespace tavo
