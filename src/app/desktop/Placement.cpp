#include "app/desktop/Placement.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace velmora {

namespace {

constexpr int kGap = 8;

// What the window manager adds around the client area; before the side
// window is first shown, the main window's.
QSize decorationOf(const QWidget* side, const QWidget* main)
{
    return side->isVisible() ? side->frameGeometry().size() - side->size()
                             : main->frameGeometry().size() - main->size();
}

} // namespace

void placeBeside(QWidget* side, const QWidget* main) { placeBeside(side, main, main->frameGeometry()); }

void keepOnScreen(QWidget* window)
{
    // The window manager places these, and a move would restore the window
    // to its normal size: maximized kept on a scaled screen came back normal.
    if (window->isMaximized() || window->isFullScreen()) {
        return;
    }
    const QRect frame = window->frameGeometry();
    const QScreen* best = nullptr;
    int most = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect shared = screen->availableGeometry().intersected(frame);
        if (shared.width() * shared.height() > most) {
            most = shared.width() * shared.height();
            best = screen;
        }
    }
    if (best == nullptr) {
        best = QGuiApplication::primaryScreen();
    }
    if (best == nullptr) {
        return;
    }
    const QRect area = best->availableGeometry();
    const QSize decoration = frame.size() - window->size();
    const QSize size = window->size().boundedTo(area.size() - decoration);
    window->resize(size);
    const QSize outer = size + decoration;
    window->move(std::clamp(frame.left(), area.left(), area.right() + 1 - outer.width()),
        std::clamp(frame.top(), area.top(), area.bottom() + 1 - outer.height()));
}

void placeBeside(QWidget* side, const QWidget* main, const QRect& keepInSight)
{
    const QScreen* screen = main->screen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const QRect anchor = keepInSight;
    const QSize decoration = decorationOf(side, main);
    const QSize room = (area.size() - decoration).expandedTo(QSize(1, 1));
    // As large as its contents ask where the screen has room, for a large
    // font, say; never larger than the screen.
    QSize size = side->size().expandedTo(side->sizeHint()).boundedTo(room);
    // Rows that wrap need more height at this width than the hint says,
    // and Qt does not ask a window's layout for it.
    if (const QLayout* layout = side->layout(); layout != nullptr && layout->hasHeightForWidth()) {
        size.setHeight(std::clamp(layout->totalHeightForWidth(size.width()), size.height(), room.height()));
    }
    const int after = anchor.right() + 1 + kGap;
    // Where it fits beside the anchor only narrower than it asks, and no
    // narrower than it can be, narrower: the anchor stays in sight.
    const int besideRoom = std::max(area.right() + 1 - after, anchor.left() - kGap - area.left()) - decoration.width();
    if (size.width() > besideRoom && besideRoom >= side->minimumSizeHint().width()) {
        size.setWidth(besideRoom);
    }
    side->resize(size);
    const QSize outer = side->size() + decoration;
    const int before = anchor.left() - kGap - outer.width();
    const bool rightFirst = main->layoutDirection() == Qt::LeftToRight;
    const bool fitsAfter = after + outer.width() <= area.right() + 1;
    const bool fitsBefore = before >= area.left();
    int x = rightFirst ? (fitsAfter || !fitsBefore ? after : before) : (fitsBefore || !fitsAfter ? before : after);
    x = std::clamp(x, area.left(), std::max(area.left(), area.right() + 1 - outer.width()));
    const int y = std::clamp(anchor.top(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height()));
    side->move(x, y);
}

void placeBeside(QWidget* side, const QWidget* main, std::initializer_list<QRect> keepInSight)
{
    const QScreen* screen = main->screen();
    if (screen == nullptr || keepInSight.size() == 0) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const int narrowest = side->minimumSizeHint().width() + decorationOf(side, main).width() + kGap;
    for (const QRect& anchor : keepInSight) {
        if (area.right() + 1 - (anchor.right() + 1) >= narrowest || anchor.left() - area.left() >= narrowest) {
            placeBeside(side, main, anchor);
            return;
        }
    }
    placeBeside(side, main, *std::prev(keepInSight.end()));
}

} // namespace velmora
