#include "app/access/AccessibleFactory.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QWindow>

namespace velmora {

namespace {

// Qt's scaling of the widget's window; X11's own ratio is always 1. Other
// platforms place windows themselves, in their own coordinates.
qreal qtScale(const QWidget* widget)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return 1.0;
    }
    const QWindow* window = widget->window()->windowHandle();
    return window != nullptr ? window->devicePixelRatio() : 1.0;
}

} // namespace

QRect onScreen(const QWidget* widget, const QRect& global)
{
    const qreal scale = qtScale(widget);
    if (scale == 1.0 || global.isNull() || widget->screen() == nullptr) {
        return global;
    }
    // Qt scales each screen about its top left corner, which it keeps.
    const QPointF origin = widget->screen()->geometry().topLeft();
    const QPointF topLeft = origin + (QPointF(global.topLeft()) - origin) * scale;
    const QPointF bottomRight =
        origin + (QPointF(global.topLeft() + QPoint(global.width(), global.height())) - origin) * scale;
    return QRect(topLeft.toPoint(), bottomRight.toPoint() - QPoint(1, 1));
}

QPoint fromScreen(const QWidget* widget, const QPoint& native)
{
    const qreal scale = qtScale(widget);
    if (scale == 1.0 || widget->screen() == nullptr) {
        return native;
    }
    const QPointF origin = widget->screen()->geometry().topLeft();
    return (origin + (QPointF(native) - origin) / scale).toPoint();
}

AccessibleLineEdit::AccessibleLineEdit(QLineEdit* edit) : QAccessibleWidget(edit, QAccessible::EditableText) {}

void* AccessibleLineEdit::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface) {
        return static_cast<QAccessibleTextInterface*>(this);
    }
    if (type == QAccessible::EditableTextInterface) {
        return static_cast<QAccessibleEditableTextInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State AccessibleLineEdit::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = edit()->isReadOnly();
    state.editable = !edit()->isReadOnly();
    state.passwordEdit = edit()->echoMode() != QLineEdit::Normal;
    state.selectableText = true;
    return state;
}

QString AccessibleLineEdit::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value) {
        return shown();
    }
    const QString said = QAccessibleWidget::text(t);
    return said.isEmpty() && t == QAccessible::Name ? edit()->placeholderText() : said;
}

void AccessibleLineEdit::setText(QAccessible::Text t, const QString& text)
{
    if (t == QAccessible::Value && !edit()->isReadOnly()) {
        edit()->setText(text);
    } else {
        QAccessibleWidget::setText(t, text);
    }
}

QString AccessibleLineEdit::shown() const
{
    return edit()->echoMode() == QLineEdit::Normal ? edit()->text() : edit()->displayText();
}

void AccessibleLineEdit::selection(int index, int* start, int* end) const
{
    *start = *end = 0;
    if (index == 0 && edit()->hasSelectedText()) {
        *start = edit()->selectionStart();
        *end = edit()->selectionEnd();
    }
}

int AccessibleLineEdit::selectionCount() const { return edit()->hasSelectedText() ? 1 : 0; }

void AccessibleLineEdit::addSelection(int start, int end) { setSelection(0, start, end); }

void AccessibleLineEdit::removeSelection(int index)
{
    if (index == 0) {
        edit()->deselect();
    }
}

void AccessibleLineEdit::setSelection(int index, int start, int end)
{
    if (index == 0) {
        edit()->setSelection(start, end - start);
    }
}

int AccessibleLineEdit::cursorPosition() const { return edit()->cursorPosition(); }

void AccessibleLineEdit::setCursorPosition(int position) { edit()->setCursorPosition(position); }

QString AccessibleLineEdit::text(int start, int end) const
{
    if (start < 0 || end < start) {
        return {};
    }
    return shown().mid(start, end - start);
}

int AccessibleLineEdit::characterCount() const { return static_cast<int>(shown().size()); }

QRect AccessibleLineEdit::characterRect(int offset) const
{
    // Where the text starts unscrolled: enough for a reader's cursor in
    // the short fields this program has.
    QStyleOptionFrame option;
    option.initFrom(edit());
    const QRect contents = edit()
                               ->style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, edit())
                               .marginsRemoved(edit()->textMargins());
    const QString text = shown();
    if (offset < 0 || offset >= text.size()) {
        return {};
    }
    const QFontMetrics metrics = edit()->fontMetrics();
    const int x = contents.left() + metrics.horizontalAdvance(text.left(offset));
    const int width = metrics.horizontalAdvance(text.at(offset));
    const int y = contents.top() + (contents.height() - metrics.height()) / 2;
    return onScreen(edit(), QRect(edit()->mapToGlobal(QPoint(x, y)), QSize(width, metrics.height())));
}

int AccessibleLineEdit::offsetAtPoint(const QPoint& point) const
{
    return edit()->cursorPositionAt(edit()->mapFromGlobal(fromScreen(edit(), point)));
}

void AccessibleLineEdit::scrollToSubstring(int start, int) { edit()->setCursorPosition(start); }

QString AccessibleLineEdit::attributes(int, int* start, int* end) const
{
    *start = 0;
    *end = characterCount();
    return {};
}

void AccessibleLineEdit::deleteText(int start, int end) { replaceText(start, end, {}); }

void AccessibleLineEdit::insertText(int offset, const QString& text) { replaceText(offset, offset, text); }

void AccessibleLineEdit::replaceText(int start, int end, const QString& text)
{
    if (edit()->isReadOnly() || start < 0 || end < start || end > edit()->text().size()) {
        return;
    }
    edit()->setText(edit()->text().replace(start, end - start, text));
}

void installAccessibleLineEdits()
{
    static const bool installed = [] {
        QAccessible::installFactory([](const QString& className, QObject* object) -> QAccessibleInterface* {
            // A spin box's own field has none, as in Qt: the spin box tells its text.
            if (className == QLatin1String("QLineEdit") && object->isWidgetType()
                && object->objectName() != QLatin1String("qt_spinbox_lineedit")) {
                return new AccessibleLineEdit(static_cast<QLineEdit*>(object));
            }
            return nullptr;
        });
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace velmora
