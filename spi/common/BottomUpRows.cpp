#include "BottomUpRows.h"

#include <algorithm>

namespace tavo::spi {

bool BottomUpRows::done(std::int32_t y) const
{
    std::uint8_t* row = at(y);
    std::fill(row + 3 * std::size_t(layout_.width), row + layout_.stride, std::uint8_t(0));
    // The last row is reported by the caller once everything is finished.
    return y + 1 >= layout_.height || !progress_.report(y + 1, layout_.height);
}

} // namespace tavo::spi
