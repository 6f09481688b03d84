#pragma once

#include <QObject>

namespace velmora {

// Keys that a screen reader has held back reach the program late. Qt's
// bridge to it posts each one, once the reader lets it pass, to the widget
// that was to have it when it was typed: a menu closed since by the key
// before, or a window hidden by it. There they would be lost; they go on to
// the widget that has the focus now, in the order they were typed.
class LateKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace velmora
