#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace velmora {

// Ends the process once its event loop has returned, even if tearing Qt
// down never finishes: Qt 6.4's Wayland client can wait for ever on its
// event thread while it closes the display, leaving a process without a
// window behind. Armed after the event loop, disarmed by its own
// destruction, which must come after the application's.
class ExitWatchdog {
public:
    ExitWatchdog() = default;
    ~ExitWatchdog();
    ExitWatchdog(const ExitWatchdog&) = delete;
    ExitWatchdog& operator=(const ExitWatchdog&) = delete;

    // From now on, the process ends with exitCode after `grace`, unless this
    // watchdog is destroyed first. Says so on stderr when it has to.
    void arm(int exitCode, std::chrono::milliseconds grace);

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_disarmed = false;
    std::thread m_thread;
};

} // namespace velmora
