#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <functional>

class QPoint;

namespace velmora {

class OddsWindow;

// A step button, as a class of its own so that assistive technology asks
// StepOddsHook for its description (Qt's own interface for push buttons comes
// before any other).
class StepButton : public QPushButton {
    Q_OBJECT

public:
    using QPushButton::QPushButton;
};

// The odds on the step buttons: each button's tooltip and accessible
// description (its dice and mean), and its context menu, which opens the one
// odds window and offers the window's own actions after that. Nothing is computed until a button's tooltip is asked for
// or the button takes the focus.
class StepOddsHook : public QObject {
    Q_OBJECT

public:
    // Buttons named "Command1" to "Command40"; karmaLevel returns the chosen
    // level, 0 (none) to 4. Throws std::invalid_argument for any other name.
    StepOddsHook(const QList<QPushButton*>& stepButtons, std::function<int()> karmaLevel, QObject* parent = nullptr);
    ~StepOddsHook() override;

    // Call after every change of the karma level.
    void karmaChanged();

    // Opens the odds window, or brings it forward, on this step.
    void openOdds(int step);
    // Null until the window is first opened.
    OddsWindow* window() const;

    // The button's dice and mean in words, at the chosen karma level.
    QString spokenDescription(const QPushButton* button) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void describe(QPushButton* button);
    void showMenu(QPushButton* button, const QPoint& globalPos, bool byKeyboard);

    // Looked up only for a button that sends an event, so never a dead one.
    QHash<const QPushButton*, int> m_steps;
    QList<QPointer<QPushButton>> m_described;
    std::function<int()> m_karmaLevel;
    QPointer<OddsWindow> m_window;
    QTimer m_describeFocused;
};

} // namespace velmora
