#pragma once

#include <QWidget>

namespace velmora::bench {

// The baseline: a plain QWidget with 45 push buttons and 6 labels at the
// main window's places, and nothing else.
class BareWindow : public QWidget {
public:
    BareWindow();
};

} // namespace velmora::bench
