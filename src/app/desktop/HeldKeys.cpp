#include "app/desktop/HeldKeys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>

namespace velmora {
namespace {

// The key itself, whatever the modifiers made of it: "+" pressed with Shift
// is "=" once Shift is let go first. Events made up in the program have no
// scan code; their key stands for it.
int keyOf(const QKeyEvent& event)
{
    return event.nativeScanCode() != 0 ? -static_cast<int>(event.nativeScanCode()) : event.key();
}

} // namespace

HeldKeys& HeldKeys::instance()
{
    static QPointer<HeldKeys> keys;
    if (keys.isNull()) {
        keys = new HeldKeys(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(keys);
    }
    return *keys;
}

bool HeldKeys::eventFilter(QObject* watched, QEvent* event)
{
    // A release is seen once for each widget that it passes on its way up;
    // marking a key as let go twice does no harm.
    if (event->type() == QEvent::KeyRelease) {
        release(*static_cast<QKeyEvent*>(event));
    } else if (event->type() == QEvent::ApplicationStateChange
        && static_cast<QApplicationStateChangeEvent*>(event)->applicationState() != Qt::ApplicationActive) {
        // Keys let go in another program's window never come here.
        m_keys.clear();
    }
    return QObject::eventFilter(watched, event);
}

bool HeldKeys::pressIsRepeat(const QKeyEvent& press)
{
    Key& key = m_keys[keyOf(press)];
    // The server's time tells a repeat's pair where it is known. Copies of
    // the events that Qt makes for assistive technology carry none; a guess
    // from their arrival would take a quick second press for a repeat on a
    // busy machine, and a press is never to be lost.
    const bool paired = press.timestamp() != 0 && press.timestamp() == key.releasedAt;
    const bool repeat = press.isAutoRepeat() || key.down || paired;
    key.down = true;
    return repeat;
}

void HeldKeys::release(const QKeyEvent& release)
{
    // Qt's own pairs of a repeat leave the key down.
    if (release.isAutoRepeat()) {
        return;
    }
    Key& key = m_keys[keyOf(release)];
    key.down = false;
    key.releasedAt = release.timestamp();
}

void ReturnPresses::install(QWidget* view)
{
    auto* presses = new ReturnPresses(view);
    for (QPushButton* button : view->findChildren<QPushButton*>()) {
        button->installEventFilter(presses);
    }
}

bool ReturnPresses::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) {
        return false;
    }
    const auto& key = *static_cast<QKeyEvent*>(event);
    const bool plain = (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!plain || (key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter)) {
        return false;
    }
    if (event->type() == QEvent::KeyPress && !HeldKeys::instance().pressIsRepeat(key)) {
        static_cast<QAbstractButton*>(watched)->click();
    }
    return true;
}

} // namespace velmora
