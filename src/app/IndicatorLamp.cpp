#include "app/IndicatorLamp.h"

#include "app/SystemColours.h"
#include "karma/KarmaState.h"

#include <QEvent>
#include <QPainter>

namespace velmora {

IndicatorLamp::IndicatorLamp(int level, QWidget* parent)
    : QLabel(parent), m_level(level), m_reference(kLampUnselected)
{
    updateAccessibleText();
}

void IndicatorLamp::setSystemColour(std::uint32_t reference)
{
    m_reference = reference;
    updateAccessibleText();
    update();
}

QColor IndicatorLamp::shownColour() const
{
    return resolveColour(m_reference);
}

bool IndicatorLamp::isLit() const
{
    return m_reference == kLampSelected;
}

void IndicatorLamp::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), shownColour());
}

void IndicatorLamp::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange
        || event->type() == QEvent::StyleChange) {
        update();
    }
    QLabel::changeEvent(event);
}

// The choice must not be carried by colour alone.
void IndicatorLamp::updateAccessibleText()
{
    const QString die = QString::number(karmaTable()[static_cast<std::size_t>(m_level - 1)].die);
    const QString state = isLit() ? tr("gewählt") : tr("nicht gewählt");
    setAccessibleName(tr("Karma +%1: %2").arg(die, state));
    setAccessibleDescription(tr("Anzeige für Karmastufe %1 (Karma +%2): %3")
                                 .arg(QString::number(m_level), die, state));
}

} // namespace velmora
