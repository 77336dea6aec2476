// A point in pixels, for the interaction handlers' arithmetic; bounds are the
// viewer's ImageBounds.
#pragma once

#include "viewer/core/ZoomArithmetic.h"

#include <cstdint>

namespace tavo {

struct PointI {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const PointI&, const PointI&) = default;
};

} // namespace tavo
