#pragma once

#include <QWidget>

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

    // Spoken first, then the details after a pause.
    void announce(const QString& message, const QString& details = {});

    QString message() const { return m_message; }
    QString details() const { return m_details; }

private:
    QString m_message;
    QString m_details;
};

} // namespace velmora
