#include "app/Announcer.h"

#include "app/AccessibleFactory.h"
#include <QAccessible>
#include <QAccessibleWidget>

namespace velmora {
namespace {

class AccessibleAnnouncer : public QAccessibleWidget {
public:
    explicit AccessibleAnnouncer(Announcer* announcer)
        : QAccessibleWidget(announcer, QAccessible::Notification)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        const auto* announcer = static_cast<const Announcer*>(widget());
        switch (t) {
        case QAccessible::Name:
            return announcer->message();
        case QAccessible::Description:
            return announcer->details();
        default:
            return QAccessibleWidget::text(t);
        }
    }
};

} // namespace

Announcer::Announcer(QWidget* parent) : QWidget(parent)
{
    installAccessibleInterface<Announcer, AccessibleAnnouncer>();
    setObjectName(QStringLiteral("announcer"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 0, 0);
    // Hidden until the first message, so that it is no part of the tree
    // before it has anything to say.
    hide();
}

void Announcer::announce(const QString& message, const QString& details)
{
    if (!QAccessible::isActive()) {
        return;
    }
    m_message = message;
    m_details = details;
    // Screen readers that cache names (Orca 48 does) would otherwise
    // speak the first message again: the changes go out before the
    // notification appears anew, which is what they speak.
    QAccessibleEvent nameChanged(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&nameChanged);
    QAccessibleEvent descriptionChanged(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&descriptionChanged);
    hide();
    show();
}

} // namespace velmora
