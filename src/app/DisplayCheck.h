#pragma once

#include <QString>

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

    // The line for a start without a reachable display, from the values of
    // DISPLAY and WAYLAND_DISPLAY (empty where unset).
    static QString message(const QString& display, const QString& waylandDisplay);
};

} // namespace velmora
