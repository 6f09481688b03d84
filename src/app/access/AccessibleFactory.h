#pragma once

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

namespace velmora {

// Makes Qt use Interface for every widget of class Widget, installed once
// per process on the first call.
template <typename Widget, typename Interface>
void installAccessibleInterface()
{
    static const bool installed = [] {
        QAccessible::installFactory([](const QString& className, QObject* object) -> QAccessibleInterface* {
            if (className == QLatin1String(Widget::staticMetaObject.className()) && object->isWidgetType()) {
                return new Interface(static_cast<Widget*>(object));
            }
            return nullptr;
        });
        return true;
    }();
    Q_UNUSED(installed);
}

// Where a screen reader on X11 looks for a control, in the screen's own
// pixels: Qt's bridge tells its device-independent ones, which lie elsewhere
// once Qt scales the window (QT_SCALE_FACTOR, or a font's DPI). Global
// rectangles and points, to the screen and back.
QRect onScreen(const QWidget* widget, const QRect& global);
QPoint fromScreen(const QWidget* widget, const QPoint& native);

// A widget's own interface with its extent where it is drawn.
class AccessibleOnScreen : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;

    QRect rect() const override { return onScreen(widget(), QAccessibleWidget::rect()); }
};

// A push button as assistive technology knows it: named by its caption and
// pressed by its action, for interfaces that add to what Qt's own says.
class AccessiblePushButton : public AccessibleOnScreen {
public:
    explicit AccessiblePushButton(QPushButton* button) : AccessibleOnScreen(button, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? button()->text() : AccessibleOnScreen::text(t);
    }

    QStringList actionNames() const override { return QStringList{pressAction()} + AccessibleOnScreen::actionNames(); }

    void doAction(const QString& action) override
    {
        if (action == pressAction()) {
            button()->click();
        } else {
            AccessibleOnScreen::doAction(action);
        }
    }

protected:
    QPushButton* button() const { return static_cast<QPushButton*>(widget()); }
};

// A line edit as Qt's own interface tells it, but with its text's attribute
// run covering the whole text: Qt's gives an empty run at each offset, and
// Orca, which splits what it says by such runs, then drops the last letter
// of a field's selected text ("Boge ausgewählt" for "Bogen").
class AccessibleLineEdit : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface {
public:
    explicit AccessibleLineEdit(QLineEdit* edit);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text t, const QString& text) override;

    void selection(int index, int* start, int* end) const override;
    int selectionCount() const override;
    void addSelection(int start, int end) override;
    void removeSelection(int index) override;
    void setSelection(int index, int start, int end) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int start, int end) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int start, int end) override;
    QString attributes(int offset, int* start, int* end) const override;

    void deleteText(int start, int end) override;
    void insertText(int offset, const QString& text) override;
    void replaceText(int start, int end, const QString& text) override;

private:
    QLineEdit* edit() const { return static_cast<QLineEdit*>(widget()); }
    // What the field shows: a password's dots, never its letters.
    QString shown() const;
};

// Every QLineEdit of the program, a dialog's included, gets the interface above.
void installAccessibleLineEdits();

} // namespace velmora
