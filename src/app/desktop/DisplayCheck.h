#pragma once

#include <QString>
#include <QStringList>

namespace velmora {

// Holds Qt's messages back while the application object is created. Where
// Qt cannot reach a window system it would abort, advising to reinstall;
// instead the player gets one plain line and the exit code 1. Once the
// application stands, the held messages go out as usual.
class DisplayCheck {
public:
    DisplayCheck();
    ~DisplayCheck();
    DisplayCheck(const DisplayCheck&) = delete;
    DisplayCheck& operator=(const DisplayCheck&) = delete;

    // The application object stands.
    void started();

    // The one line for a start that Qt gave up on: from what Qt said before
    // it gave up (messages), its last word (fatal) and the values of DISPLAY
    // and WAYLAND_DISPLAY (empty where unset). It names the real cause: no
    // display set, a display that cannot be reached, or a platform plugin
    // that does not exist or cannot load; otherwise Qt's own words.
    static QString message(
        const QStringList& messages, const QString& fatal, const QString& display, const QString& waylandDisplay);
};

} // namespace velmora
