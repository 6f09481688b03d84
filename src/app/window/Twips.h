#pragma once

#include <QRect>

namespace velmora {

// The design is laid out in twips; Qt places widgets in device-independent
// pixels, which are 96-dpi pixels, so high-DPI screens only get sharper.
inline constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips) { return twips / kTwipsPerPixel; }

constexpr QRect twipsToPixels(const QRect& twips)
{
    return {twipsToPixels(twips.x()), twipsToPixels(twips.y()), twipsToPixels(twips.width()),
        twipsToPixels(twips.height())};
}

} // namespace velmora
