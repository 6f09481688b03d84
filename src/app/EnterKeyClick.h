#pragma once

#include <QObject>

namespace velmora {

// Lets Enter click the focused push button, as Space does, without making
// any button the window's default button.
class EnterKeyClick : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace velmora
