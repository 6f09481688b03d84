#pragma once

#include "app/window/CaptionButton.h"

namespace velmora {

// A karma button that tells assistive technology whether its level is the
// chosen one: a toggle button, checked or not, that looks like any other
// push button.
class KarmaButton : public CaptionButton {
    Q_OBJECT

public:
    KarmaButton(const QString& caption, QWidget* parent = nullptr);

    bool isChosen() const { return m_chosen; }
    void setChosen(bool chosen) { m_chosen = chosen; }
    // Sends assistive technology the checked state and the description if
    // they changed since last told.
    void reportState();

private:
    bool m_chosen = false;
    bool m_reportedChosen = false;
};

} // namespace velmora
