#include "app/odds/StepOddsHook.h"

#include "app/access/AccessibleFactory.h"
#include "app/access/KeyboardMenu.h"
#include "app/desktop/Placement.h"
#include "app/odds/OddsText.h"
#include "app/odds/OddsWindow.h"
#include "steps/StepTable.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>

#include <stdexcept>
#include <utility>

namespace velmora {
namespace {

// The hooks of the step buttons, for the accessible interfaces that Qt makes
// of them whenever assistive technology first asks.
QHash<const QObject*, const StepOddsHook*>& hooks()
{
    static QHash<const QObject*, const StepOddsHook*> hooked;
    return hooked;
}

// A step button whose description is there whenever it is asked for, also
// before the button had the focus or its tooltip: flat review and braille
// read it so.
class AccessibleStepButton : public AccessiblePushButton {
public:
    AccessibleStepButton(QPushButton* button, const StepOddsHook* odds) : AccessiblePushButton(button), m_odds(odds) {}

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Description ? m_odds->spokenDescription(button()) : AccessiblePushButton::text(t);
    }

private:
    const StepOddsHook* m_odds;
};

QAccessibleInterface* accessibleStepButton(const QString& className, QObject* object)
{
    const StepOddsHook* odds =
        className == QLatin1String(StepButton::staticMetaObject.className()) ? hooks().value(object) : nullptr;
    return odds != nullptr ? new AccessibleStepButton(static_cast<QPushButton*>(object), odds) : nullptr;
}

} // namespace

StepOddsHook::StepOddsHook(const QList<QPushButton*>& stepButtons, std::function<int()> karmaLevel, QObject* parent)
    : QObject(parent)
    , m_karmaLevel(std::move(karmaLevel))
{
    const QLatin1String prefix("Command");
    for (QPushButton* button : stepButtons) {
        const QString name = button->objectName();
        const QStringView number = QStringView(name).mid(prefix.size());
        const int step = name.startsWith(prefix) && !number.startsWith(u'0') ? number.toInt() : 0;
        if (step < kFirstStep || step > kLastStep) {
            throw std::invalid_argument("not a step button: " + button->objectName().toStdString());
        }
        m_steps.insert(button, step);
        button->installEventFilter(this);
        hooks().insert(button, this);
        connect(button, &QObject::destroyed, this, [](QObject* gone) { hooks().remove(gone); });
    }
    m_describeFocused.setSingleShot(true);
    m_describeFocused.setInterval(250);
    connect(&m_describeFocused, &QTimer::timeout, this, [this] {
        auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
        if (focused != nullptr && m_steps.contains(focused)) {
            describe(focused);
        }
    });
    static const bool installed = [] {
        QAccessible::installFactory(accessibleStepButton);
        return true;
    }();
    Q_UNUSED(installed);
}

StepOddsHook::~StepOddsHook()
{
    for (auto it = hooks().begin(); it != hooks().end();) {
        it = it.value() == this ? hooks().erase(it) : std::next(it);
    }
    // A window of the buttons' own goes with them; one without a parent is ours.
    if (m_window != nullptr && m_window->parent() == nullptr) {
        delete m_window;
    }
}

void StepOddsHook::karmaChanged()
{
    // Tooltips tell nobody. Forty descriptions changed at once flood a
    // screen reader, which then drops the rolls and choices that follow: the
    // focused step's is changed once the karma keys pause, the others' as
    // they take the focus.
    for (QPushButton* button : std::as_const(m_described)) {
        if (button != nullptr) {
            button->setToolTip(stepButtonDescription(m_steps.value(button), m_karmaLevel()));
        }
    }
    m_describeFocused.start();
    if (m_window != nullptr) {
        m_window->setChosenKarma(m_karmaLevel());
    }
}

void StepOddsHook::describe(QPushButton* button)
{
    if (!m_described.contains(button)) {
        m_described << QPointer<QPushButton>(button);
    }
    const QString tip = stepButtonDescription(m_steps.value(button), m_karmaLevel());
    if (button->toolTip() != tip) {
        button->setToolTip(tip);
    }
    // Qt tells every setting, changed or not.
    const QString spoken = spokenDescription(button);
    if (button->accessibleDescription() != spoken) {
        button->setAccessibleDescription(spoken);
    }
}

QString StepOddsHook::spokenDescription(const QPushButton* button) const
{
    return stepButtonSpokenDescription(m_steps.value(button), m_karmaLevel());
}

OddsWindow* StepOddsHook::window() const { return m_window; }

void StepOddsHook::openOdds(int step)
{
    auto* owner = qobject_cast<QWidget*>(parent());
    if (m_window == nullptr) {
        m_window = new OddsWindow(owner != nullptr ? owner->window() : nullptr);
    }
    m_window->setChosenKarma(m_karmaLevel());
    m_window->showStep(step);
    if (!m_window->isVisible() && owner != nullptr) {
        // Beside the window and its docks, or beside the board at least,
        // which stays in sight whatever docks are open.
        placeBeside(m_window, owner->window(),
            {owner->window()->frameGeometry(), QRect(owner->mapToGlobal(QPoint(0, 0)), owner->size())});
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_window->stepSelector()->setFocus(Qt::OtherFocusReason);
    m_window->tellStep();
}

void StepOddsHook::showMenu(QPushButton* button, const QPoint& globalPos, bool byKeyboard)
{
    const int step = m_steps.value(button);
    auto* menu = new QMenu(button);
    menu->addAction(tr("Chancen für Stufe %1 …").arg(step), this, [this, step] { openOdds(step); });
    // The board's own actions, which its context menu offers elsewhere.
    const QList<QAction*> shared = button->parentWidget()->actions();
    if (!shared.isEmpty()) {
        menu->addSeparator();
        addStandIns(menu, shared);
    }
    popUpMenu(menu, globalPos, byKeyboard);
}

bool StepOddsHook::eventFilter(QObject* watched, QEvent* event)
{
    // A button on its way out is a plain QWidget by now, and no longer ours.
    auto* button = qobject_cast<QPushButton*>(watched);
    if (button == nullptr || !m_steps.contains(button)) {
        return false;
    }
    switch (event->type()) {
    case QEvent::ToolTip:
        // Before the button shows it.
        describe(button);
        return false;
    case QEvent::FocusIn:
        // Before a screen reader reads the button; without one, the focus
        // that the first button takes at start-up computes nothing.
        if (QAccessible::isActive()) {
            describe(button);
        }
        return false;
    case QEvent::ContextMenu: {
        // A right-click, and on most desktops the Menu key.
        const auto* menu = static_cast<QContextMenuEvent*>(event);
        const bool byKeyboard = menu->reason() != QContextMenuEvent::Mouse;
        showMenu(button, byKeyboard ? button->mapToGlobal(button->rect().center()) : menu->globalPos(), byKeyboard);
        return true;
    }
    case QEvent::KeyPress: {
        // Where no context menu event comes of them.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (opensMenu(key->key(), key->modifiers())) {
            showMenu(button, button->mapToGlobal(button->rect().center()), true);
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

} // namespace velmora
