#include "BareWindow.h"

#include "app/DesignLayout.h"
#include "app/Twips.h"

#include <QLabel>
#include <QPushButton>

namespace velmora::bench {

BareWindow::BareWindow()
{
    resize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));
    for (const ControlSpec& spec : designControls()) {
        QWidget* control = nullptr;
        if (spec.kind == ControlSpec::Kind::StepButton || spec.kind == ControlSpec::Kind::KarmaButton) {
            control = new QPushButton(spec.caption, this);
        } else {
            control = new QLabel(spec.caption, this);
        }
        control->setGeometry(twipsRect(spec.twips.x(), spec.twips.y(), spec.twips.width(),
            spec.twips.height()));
        if (spec.kind == ControlSpec::Kind::KarmaLabel) {
            control->hide();
        }
    }
}

} // namespace velmora::bench
