#pragma once

#include <QObject>
#include <QTimer>

namespace velmora {

// Gives memory that bursts of input left free back to the system, once the
// program has been idle for a while. Input faster than the program takes it
// is queued by Qt, and the allocator keeps what the queue once took, in
// pieces between what is still in use; over a long evening that alone grew
// the program by a quarter. Watches the application's input events; costs
// nothing while none come.
class IdleTrim : public QObject {
    Q_OBJECT

public:
    explicit IdleTrim(QObject* parent = nullptr);

    // How long after the last input the memory is given back.
    static constexpr int kIdleAfter = 1000; // ms

    bool eventFilter(QObject* watched, QEvent* event) override;

    // Gives free memory back now, where the allocator can.
    static void trim();

private:
    QTimer m_timer;
};

} // namespace velmora
