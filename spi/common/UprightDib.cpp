#include "UprightDib.h"

#include <cstring>

namespace tavo::spi {

std::int32_t planUprightDib(int orientation, std::uint32_t storedWidth, std::uint32_t storedHeight,
                            DibLayout& layout)
{
    return swapsSides(orientation) ? planDib(storedHeight, storedWidth, layout)
                                   : planDib(storedWidth, storedHeight, layout);
}

UprightRows::UprightRows(int orientation, const DibLayout& upright, std::uint8_t* bits, int bytesPerPixel)
    : upright_(upright), bits_(bits), bytesPerPixel_(bytesPerPixel),
      storedWidth_(swapsSides(orientation) ? upright.height : upright.width),
      storedHeight_(swapsSides(orientation) ? upright.width : upright.height),
      // Bottom-up: the top row is the last in memory.
      rows_(orientation, storedWidth_, storedHeight_, bytesPerPixel,
            bits + std::size_t(upright.height - 1) * upright.stride, -std::ptrdiff_t(upright.stride))
{
}

void UprightRows::complete()
{
    if (storedWidth_ == upright_.width)
        return;
    const std::size_t used = std::size_t(upright_.width) * std::size_t(bytesPerPixel_);
    for (std::int32_t y = 0; y < upright_.height; ++y)
        std::memset(bits_ + std::size_t(y) * upright_.stride + used, 0, upright_.stride - used);
}

} // namespace tavo::spi
