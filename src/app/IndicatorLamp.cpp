#include "app/IndicatorLamp.h"

#include "app/SystemColours.h"
#include "karma/KarmaState.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

namespace velmora {
namespace {

// Names the lamp from its state when asked, so that creating a lamp costs
// no accessibility work while nobody listens.
class AccessibleLamp : public QAccessibleWidget {
public:
    explicit AccessibleLamp(IndicatorLamp* lamp) : QAccessibleWidget(lamp, QAccessible::Indicator) {}

    QString text(QAccessible::Text t) const override
    {
        const auto* lamp = static_cast<const IndicatorLamp*>(widget());
        switch (t) {
        case QAccessible::Name:
            return lamp->accessibleLampName();
        case QAccessible::Description:
            return lamp->accessibleLampDescription();
        default:
            return QAccessibleWidget::text(t);
        }
    }
};

QAccessibleInterface* lampFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("velmora::IndicatorLamp") && object->isWidgetType()) {
        return new AccessibleLamp(static_cast<IndicatorLamp*>(object));
    }
    return nullptr;
}

} // namespace

IndicatorLamp::IndicatorLamp(int level, QWidget* parent)
    : QLabel(parent), m_level(level), m_reference(kLampUnselected)
{
    static const bool installed = [] {
        QAccessible::installFactory(lampFactory);
        return true;
    }();
    Q_UNUSED(installed);
    // The lamp covers its square whole: nothing beneath shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void IndicatorLamp::setSystemColour(std::uint32_t reference)
{
    m_reference = reference;
    if (QAccessible::isActive()) {
        QAccessibleEvent name(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&name);
        QAccessibleEvent description(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&description);
    }
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
    QColor colour = shownColour();
    colour.setAlpha(255);
    painter.fillRect(rect(), colour);
}

// The choice must not be carried by colour alone.
QString IndicatorLamp::accessibleLampName() const
{
    return tr("Karma +%1: %2").arg(dieText(), stateText());
}

QString IndicatorLamp::accessibleLampDescription() const
{
    return tr("Anzeige für Karmastufe %1 (Karma +%2): %3")
        .arg(QString::number(m_level), dieText(), stateText());
}

QString IndicatorLamp::dieText() const
{
    return QString::number(karmaTable()[static_cast<std::size_t>(m_level - 1)].die);
}

QString IndicatorLamp::stateText() const
{
    return isLit() ? tr("gewählt") : tr("nicht gewählt");
}

} // namespace velmora
