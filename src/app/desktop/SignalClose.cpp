#include "app/desktop/SignalClose.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace velmora {
namespace {

constexpr std::array kSignals{SIGTERM, SIGINT, SIGHUP};
// Written by the handler, read by the event loop; one program, one pipe.
int g_pipe[2] = {-1, -1};

extern "C" void onSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // Full only when the loop has a byte to read already: nothing is lost.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

SignalClose::SignalClose(QWidget* window) : m_window(window)
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("velmora: no pipe for signals; TERM, INT and HUP end it at once");
        return;
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {}
        m_window->close();
        // A question open over the window would otherwise keep it running.
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) {
        sigaction(signal, &action, nullptr);
    }
}

// The handler stays: during the teardown that follows, what is left is
// being written, and a second signal must not cut it short; the watchdog
// ends the process in time.
SignalClose::~SignalClose() = default;

} // namespace velmora
