#pragma once

#include <QAccessible>
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

} // namespace velmora
