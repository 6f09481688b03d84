#include "app/window/KarmaButton.h"

#include "app/access/AccessibleFactory.h"

#include <QAccessible>

namespace velmora {
namespace {

class AccessibleKarmaButton : public AccessiblePushButton {
public:
    // A checkable button is what the AT-SPI bridge offers as a toggle button.
    explicit AccessibleKarmaButton(KarmaButton* button) : AccessiblePushButton(button) {}

    QAccessible::State state() const override
    {
        QAccessible::State state = AccessiblePushButton::state();
        state.checkable = true;
        state.checked = karmaButton()->isChosen();
        return state;
    }

    QString text(QAccessible::Text t) const override
    {
        // Orca speaks no checked state for a push button, which is all that
        // Qt's AT-SPI bridge makes of any button; a description it speaks.
        if (t == QAccessible::Description && karmaButton()->isChosen()) {
            return KarmaButton::tr("gewählt");
        }
        return AccessiblePushButton::text(t);
    }

private:
    KarmaButton* karmaButton() const { return static_cast<KarmaButton*>(widget()); }
};

} // namespace

KarmaButton::KarmaButton(const QString& caption, QWidget* parent) : CaptionButton(caption, parent)
{
    installAccessibleInterface<KarmaButton, AccessibleKarmaButton>();
}

void KarmaButton::reportState()
{
    if (m_reportedChosen == m_chosen) {
        return;
    }
    m_reportedChosen = m_chosen;
    if (!QAccessible::isActive()) {
        return;
    }
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
    // A screen reader that caches descriptions hears the new one only so.
    QAccessibleEvent described(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&described);
}

} // namespace velmora
