#include "app/Announcer.h"

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

QAccessibleInterface* announcerFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("velmora::Announcer") && object->isWidgetType()) {
        return new AccessibleAnnouncer(static_cast<Announcer*>(object));
    }
    return nullptr;
}

} // namespace

Announcer::Announcer(QWidget* parent) : QWidget(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(announcerFactory);
        return true;
    }();
    Q_UNUSED(installed);
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
