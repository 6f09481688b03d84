#pragma once

#include <functional>

class QWidget;

namespace velmora {

// Runs `then` once the window has shown its first frame: what it does is
// not what the player waits for at start. A window that is never exposed
// gets it a second after this call.
void afterFirstFrame(QWidget* window, std::function<void()> then);

} // namespace velmora
