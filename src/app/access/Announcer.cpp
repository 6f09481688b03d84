#include "app/access/Announcer.h"

#include "app/access/AccessibleFactory.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QTimer>
#include <QtGlobal>

namespace velmora {
namespace {

// A notification whose words stand in a label inside it, as screen readers
// take them: Orca 43 flashes a notification's unrelated labels on braille
// and keeps them in its list of notifications, and speaks them after the
// notification's own name; Orca 48 speaks and keeps name, labels and
// description in turn. With the words in the label alone, both say the
// result once, first, and braille and the list hold all of it.
class AccessibleNotice : public QAccessibleWidget {
public:
    explicit AccessibleNotice(Notice* notice) : QAccessibleWidget(notice, QAccessible::Notification) {}

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name || t == QAccessible::Description ? QString() : QAccessibleWidget::text(t);
    }
};

} // namespace

Notice::Notice(const QString& said, QWidget* window) : QWidget(window)
{
    installAccessibleInterface<Notice, AccessibleNotice>();
    setObjectName(QStringLiteral("announcement"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 0, 0);
    auto* label = new QLabel(said, this);
    label->setObjectName(QStringLiteral("said"));
    label->setGeometry(0, 0, 0, 0);
}

Announcer::Announcer(QWidget* window) : QObject(window), m_window(window) {}

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
    emit announced(said);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // From the window's frame: Orca 48 drops an announcement that follows
    // another of its program within 0.1 s, unless it comes from a frame, the
    // focus or a notification.
    QAccessibleAnnouncementEvent event(m_window->window(), said);
    QAccessible::updateAccessibility(&event);
#else
    const QList<Notice*> kept = m_window->findChildren<Notice*>(QString(), Qt::FindDirectChildrenOnly);
    for (qsizetype i = 0; i + kMostKept <= kept.size(); ++i) {
        delete kept[i];
    }
    auto* notice = new Notice(said, m_window);
    // Shown with its words already in place: its appearance is what screen
    // readers speak.
    notice->show();
    QTimer::singleShot(kKeptMilliseconds, notice, [notice] { delete notice; });
#endif
}

} // namespace velmora
