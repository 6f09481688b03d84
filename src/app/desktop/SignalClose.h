#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

namespace velmora {

// TERM, INT and HUP, as a logout, a terminal's Ctrl+C or its closing send
// them, close the program as its close box does: whatever it still holds
// is written before it ends. A signal handler may do next to nothing, so
// it writes one byte into a pipe that the event loop watches.
class SignalClose : public QObject {
    Q_OBJECT

public:
    explicit SignalClose(QWidget* window);
    ~SignalClose() override;

private:
    QWidget* m_window;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace velmora
