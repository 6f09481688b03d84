#pragma once

#include <QHash>
#include <QObject>

class QKeyEvent;
class QWidget;

namespace velmora {

// Tells the repeats of a held key from new presses. Qt flags most repeats,
// but on X11 it misses some, which then come as a release and a press of
// the same key at the same server time.
class HeldKeys {
public:
    // Whether this press repeats a key that is held down.
    bool pressIsRepeat(const QKeyEvent& press);
    void release(const QKeyEvent& release);
    // A key released where this window does not see it must not count as
    // held the next time it is pressed here.
    void forget() { m_keys.clear(); }

private:
    struct Key {
        bool down = false;
        quint64 releasedAt = 0;
    };
    QHash<int, Key> m_keys;
};

// Return and Enter press the focused button of a view, as Space does: Qt's
// buttons take them only in a dialog. A held key presses once.
class ReturnPresses : public QObject {
public:
    // For the buttons that the view holds now.
    static void install(QWidget* view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
    HeldKeys m_held;
};

} // namespace velmora
