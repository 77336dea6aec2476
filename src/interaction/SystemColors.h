// Colour values as the settings store them (0x00BBGGRR, or 0x80000000 plus a
// system colour number) turned into what the desktop draws: a system colour is
// the desktop palette's matching colour at the moment it is drawn.
#pragma once

#include <QColor>

#include <cstdint>

namespace tavo {

inline constexpr std::uint32_t kSystemColorFlag = 0x80000000u;
inline constexpr std::uint32_t kClBtnFace = kSystemColorFlag | 15u;

QColor toQColor(std::uint32_t colorValue);
// A chosen colour as a plain 0x00BBGGRR value.
std::uint32_t fromQColor(const QColor& color);

} // namespace tavo
