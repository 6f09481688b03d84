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
    // A notification that appears is what screen readers speak.
    hide();
    show();
}

} // namespace velmora
