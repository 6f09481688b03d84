#include "app/access/Announcer.h"

#include "app/access/AccessibleFactory.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QTimer>
#include <QtGlobal>

#include <utility>

namespace velmora {
namespace {

// The notice's words, as a label without a widget of its own: a QLabel
// would send a screen reader two events more for each notice (its name set,
// then shown), and a run of rolls would flood Orca 43.
class NoticeWords : public QAccessibleInterface {
public:
    explicit NoticeWords(Notice* notice) : m_notice(notice) {}

    bool isValid() const override { return m_notice != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_notice != nullptr ? m_notice->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_notice); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name && m_notice != nullptr ? m_notice->said() : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override { return m_notice != nullptr ? parent()->rect() : QRect(); }
    QAccessible::Role role() const override { return QAccessible::StaticText; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invisible = m_notice == nullptr || !m_notice->isVisible();
        return state;
    }

private:
    QPointer<Notice> m_notice;
};

// A notification whose words stand in a label inside it, as screen readers
// take them: Orca 43 flashes a notification's unrelated labels on braille
// and keeps them in its list of notifications, and speaks them after the
// notification's own name; Orca 48 speaks and keeps name, labels and
// description in turn. With the words in the label alone, both say the
// result once, first, and braille and the list hold all of it.
class AccessibleNotice : public QAccessibleWidget {
public:
    explicit AccessibleNotice(Notice* notice)
        : QAccessibleWidget(notice, QAccessible::Notification)
        , m_words(QAccessible::registerAccessibleInterface(new NoticeWords(notice)))
    {
    }
    ~AccessibleNotice() override { QAccessible::deleteAccessibleInterface(m_words); }
    AccessibleNotice(const AccessibleNotice&) = delete;
    AccessibleNotice& operator=(const AccessibleNotice&) = delete;

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name || t == QAccessible::Description ? QString() : QAccessibleWidget::text(t);
    }
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 ? QAccessible::accessibleInterface(m_words) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child == QAccessible::accessibleInterface(m_words) ? 0 : -1;
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

private:
    QAccessible::Id m_words;
};

} // namespace

Notice::Notice(const QString& said, QWidget* window) : QWidget(window), m_said(said)
{
    installAccessibleInterface<Notice, AccessibleNotice>();
    setObjectName(QStringLiteral("announcement"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 0, 0);
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

PacedUpdate::PacedUpdate(std::function<void()> update, QObject* parent) : QObject(parent), m_update(std::move(update))
{
    m_pause.setSingleShot(true);
    m_pause.setInterval(kPauseMilliseconds);
    connect(&m_pause, &QTimer::timeout, this, [this] {
        if (m_pending) {
            m_pending = false;
            m_update();
        }
    });
}

void PacedUpdate::request()
{
    if (m_pause.isActive()) {
        m_pending = true;
    } else {
        m_update();
    }
    m_pause.start();
}

} // namespace velmora
