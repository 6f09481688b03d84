#include "BareWindow.h"

#include "app/window/DesignLayout.h"
#include "app/window/Twips.h"

#include <QLabel>
#include <QPushButton>

namespace velmora::bench {

BareWindow::BareWindow()
{
    resize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));
    for (const ControlDesign& design : designControls()) {
        QWidget* control = nullptr;
        if (design.kind == ControlDesign::Kind::StepButton || design.kind == ControlDesign::Kind::KarmaButton) {
            control = new QPushButton(design.caption, this);
        } else {
            control = new QLabel(design.caption, this);
        }
        control->setGeometry(twipsToPixels(design.twips));
        if (design.kind == ControlDesign::Kind::KarmaLabel) {
            control->hide();
        }
    }
}

} // namespace velmora::bench
