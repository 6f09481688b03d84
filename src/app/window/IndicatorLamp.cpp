#include "app/window/IndicatorLamp.h"

#include "app/access/AccessibleFactory.h"
#include "app/window/SystemColours.h"
#include "karma/KarmaState.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

namespace velmora {
namespace {

// A read-only check box to assistive technology: named by its level, with
// the choice in its checked state, computed when asked so that creating a
// lamp costs nothing while nobody listens.
class AccessibleLamp : public AccessibleOnScreen {
public:
    explicit AccessibleLamp(IndicatorLamp* lamp) : AccessibleOnScreen(lamp, QAccessible::CheckBox) {}

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            return lamp()->accessibleLampName();
        case QAccessible::Description:
            return lamp()->accessibleLampDescription();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = lamp()->isLit();
        state.readOnly = true;
        state.focusable = false;
        return state;
    }

private:
    const IndicatorLamp* lamp() const { return static_cast<const IndicatorLamp*>(widget()); }
};

} // namespace

IndicatorLamp::IndicatorLamp(int level, QWidget* parent) : QLabel(parent), m_level(level), m_reference(kLampUnselected)
{
    installAccessibleInterface<IndicatorLamp, AccessibleLamp>();
    // The lamp covers its square whole: nothing beneath shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void IndicatorLamp::setSystemColour(std::uint32_t reference)
{
    m_reference = reference;
    update();
}

void IndicatorLamp::reportState()
{
    if (m_reportedLit == isLit()) {
        return;
    }
    m_reportedLit = isLit();
    if (QAccessible::isActive()) {
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
}

QColor IndicatorLamp::shownColour() const { return resolveColour(m_reference); }

bool IndicatorLamp::isLit() const { return m_reference == kLampSelected; }

void IndicatorLamp::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QColor colour = shownColour();
    colour.setAlpha(255);
    painter.fillRect(rect(), colour);
}

// The choice must not be carried by colour alone.
QString IndicatorLamp::accessibleLampName() const
{
    return tr("Anzeige %1").arg(QString::fromStdString(karmaName(m_level)));
}

QString IndicatorLamp::accessibleLampDescription() const
{
    return tr("Leuchtet, wenn %1 gewählt ist").arg(QString::fromStdString(karmaName(m_level)));
}

} // namespace velmora
