#pragma once

#include <QHash>
#include <QObject>

class QKeyEvent;
class QWidget;

namespace velmora {

// Tells the repeats of a held key from new presses, one rule for the whole
// program. Qt flags most repeats, but on X11 it misses some, which then come
// as a release and a press of the same key at the same server time. Every
// release is seen here, wherever it went (a dialog, a menu, a dock), so that
// a key let go in a dialog its press opened is not taken as still held when
// it is pressed again.
class HeldKeys : public QObject {
public:
    // The program's one record, watching every release from its first use.
    static HeldKeys& instance();

    // Whether this press repeats a key that is held down. Asked once for
    // each press, by the control that acts on it.
    bool pressIsRepeat(const QKeyEvent& press);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
    void release(const QKeyEvent& release);

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
};

} // namespace velmora
