#include "app/desktop/ExitWatchdog.h"

#include <cstdio>
#include <cstdlib>

namespace velmora {

void ExitWatchdog::arm(int exitCode, std::chrono::milliseconds grace)
{
    if (m_thread.joinable()) {
        return;
    }
    m_thread = std::thread([this, exitCode, grace] {
        std::unique_lock lock(m_mutex);
        if (m_done.wait_for(lock, grace, [this] { return m_disarmed; })) {
            return;
        }
        std::fprintf(stderr, "velmora: Qt ist beim Beenden hängen geblieben; Velmora endet ohne es.\n");
        std::fflush(stderr);
        // Nothing that Qt holds may run again: no destructors, no exit handlers.
        std::_Exit(exitCode);
    });
}

ExitWatchdog::~ExitWatchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_disarmed = true;
    }
    m_done.notify_one();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

} // namespace velmora
