#pragma once

#include <QHash>

class QKeyEvent;

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

} // namespace velmora
