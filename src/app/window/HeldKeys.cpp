#include "app/window/HeldKeys.h"

#include <QKeyEvent>

namespace velmora {
namespace {

// The key itself, whatever the modifiers made of it: "+" pressed with Shift
// is "=" once Shift is let go first. Events made up in the program have no
// scan code; their key stands for it.
int keyOf(const QKeyEvent& event)
{
    return event.nativeScanCode() != 0 ? -static_cast<int>(event.nativeScanCode()) : event.key();
}

// A repeat's release and press arrive together; no hand lets go of a key
// and presses it again within this.
constexpr auto kPairedWithin = std::chrono::milliseconds(2);

} // namespace

bool HeldKeys::pressIsRepeat(const QKeyEvent& press)
{
    Key& key = m_keys[keyOf(press)];
    const auto now = std::chrono::steady_clock::now();
    // The server's time tells a repeat's pair where it is known; copies of
    // the events that Qt makes for assistive technology carry none.
    const bool paired = press.timestamp() != 0 ? press.timestamp() == key.releasedAt
                                               : key.released && now - key.releasedWhen < kPairedWithin;
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
    key.released = true;
    key.releasedAt = release.timestamp();
    key.releasedWhen = std::chrono::steady_clock::now();
}

} // namespace velmora
