#pragma once

#include <QWidget>

class QLabel;

namespace velmora {

// Tells a screen reader what changes away from the focus: the result of a
// roll and the karma choice. To assistive technology it is a notification
// that appears anew with every message, which screen readers speak at once;
// on screen it has no size and paints nothing. Nothing is composed while no
// assistive technology listens.
class Announcer : public QWidget {
    Q_OBJECT

public:
    explicit Announcer(QWidget* parent = nullptr);

    // The message is said first, then the details.
    void announce(const QString& message, const QString& details = {});

    // All that the latest announcement says.
    QString said() const;

private:
    QLabel* m_said;
};

} // namespace velmora
