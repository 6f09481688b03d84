#pragma once

#include <chrono>
#include <functional>

class QWidget;

namespace velmora {

// How long work that can wait leaves the processor to the desktop after a
// frame is painted: the compositor still has to bring the frame to the
// screen, and on two cores work of ours right after it delays that.
constexpr std::chrono::milliseconds kFrameSettles{100};

// Runs `then` once the window has shown its first frame and the frame has
// settled: what it does is not what the player waits for at start. A window
// shown but never exposed (started minimized, say) gets it ten seconds after
// it was shown.
void afterFirstFrame(QWidget* window, std::function<void()> then);

} // namespace velmora
