#pragma once

#include <QColor>
#include <QPalette>

#include <cstdint>

namespace velmora {

inline constexpr int kColorMenuText = 7;
inline constexpr int kColorInactiveBorder = 11;
inline constexpr int kColorBtnFace = 15;

// A Windows colour value as the design stores it: a system colour reference
// (high bit set, index in the low byte) or an RGB value 0x00BBGGRR.
QColor resolveColour(std::uint32_t value, const QPalette& general, const QPalette& menu);
// The same against the application's current palettes.
QColor resolveColour(std::uint32_t value);

} // namespace velmora
