#pragma once

#include <QAccessible>
#include <QAccessibleWidget>
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

// A push button as assistive technology knows it: named by its caption and
// pressed by its action, for interfaces that add to what Qt's own says.
class AccessiblePushButton : public QAccessibleWidget {
public:
    explicit AccessiblePushButton(QPushButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? button()->text() : QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }

    void doAction(const QString& action) override
    {
        if (action == pressAction()) {
            button()->click();
        } else {
            QAccessibleWidget::doAction(action);
        }
    }

protected:
    QPushButton* button() const { return static_cast<QPushButton*>(widget()); }
};

} // namespace velmora
