#include "app/Announcer.h"

#include "app/AccessibleFactory.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

namespace velmora {
namespace {

// A notification whose words stand in a label inside it, as screen readers
// take them: Orca 43 flashes a notification's unrelated labels on braille
// and keeps them in its list of notifications, and speaks them after the
// notification's own name; Orca 48 speaks and keeps name, labels and
// description in turn. With the words in the label alone, both say the
// result once, first, and braille and the list hold all of it.
class AccessibleAnnouncer : public QAccessibleWidget {
public:
    explicit AccessibleAnnouncer(Announcer* announcer) : QAccessibleWidget(announcer, QAccessible::Notification) {}

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name || t == QAccessible::Description ? QString() : QAccessibleWidget::text(t);
    }
};

} // namespace

Announcer::Announcer(QWidget* parent) : QWidget(parent), m_said(new QLabel(this))
{
    installAccessibleInterface<Announcer, AccessibleAnnouncer>();
    setObjectName(QStringLiteral("announcer"));
    m_said->setObjectName(QStringLiteral("said"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 0, 0);
    m_said->setGeometry(0, 0, 0, 0);
    // Hidden until the first message, so that it is no part of the tree
    // before it has anything to say.
    hide();
}

QString Announcer::said() const
{
    return m_said->text();
}

void Announcer::announce(const QString& message, const QString& details)
{
    if (!QAccessible::isActive()) {
        return;
    }
    QString said = message;
    if (!details.isEmpty()) {
        const bool ended = said.endsWith(QLatin1Char('.')) || said.endsWith(QLatin1Char('!'));
        said += (ended ? QStringLiteral(" ") : QStringLiteral(". ")) + details;
    }
    m_said->setText(said);
    // Screen readers that cache names (Orca 48 does) would otherwise speak
    // the first words again: the change goes out before the notification
    // appears anew, which is what they speak.
    QAccessibleEvent renamed(m_said, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
    hide();
    show();
}

} // namespace velmora
