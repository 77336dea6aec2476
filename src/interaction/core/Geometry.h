// Plain integer geometry shared by the interaction handlers' arithmetic.
#pragma once

#include <cstdint>

namespace tavo {

struct PointI {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const PointI&, const PointI&) = default;
};

struct RectI {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const RectI&, const RectI&) = default;
};

} // namespace tavo
