#include "app/window/SystemColours.h"

#include "karma/KarmaState.h"

#include <QApplication>

namespace velmora {

QColor resolveColour(std::uint32_t value, const QPalette& general, const QPalette& menu)
{
    if ((value & kSystemColourFlag) == 0) {
        return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
            static_cast<int>((value >> 16) & 0xFF));
    }
    // A lit lamp takes the menu's text colour and an unlit one the Base
    // colour that text is drawn on: every colour scheme keeps that pair
    // readable, so lit and unlit stay apart in light and dark schemes alike.
    switch (static_cast<int>(value & 0xFF)) {
    case kColorMenuText:
        return menu.color(QPalette::Active, QPalette::WindowText);
    case kColorInactiveBorder:
        return general.color(QPalette::Active, QPalette::Base);
    case kColorBtnFace:
        return general.color(QPalette::Active, QPalette::Button);
    default:
        return general.color(QPalette::Active, QPalette::Window);
    }
}

QColor resolveColour(std::uint32_t value)
{
    return resolveColour(value, QApplication::palette(), QApplication::palette("QMenu"));
}

} // namespace velmora
