#pragma once

#include <QObject>
#include <QPointer>
#include <QVariantMap>

class QDBusPendingCallWatcher;
class QWidget;

namespace velmora {

// Brings Qt's AT-SPI bridge up when assistive technology is turned on after
// the program started. Qt 6.4 asks the accessibility bus whether it is on
// when the bridge starts and when that bus appears, and never again, so a
// screen reader started later would find nothing; Qt 6.8 follows the
// answer itself, and this then has nothing left to do.
//
// The status comes from the session bus: org.a11y.Status on org.a11y.Bus,
// on when IsEnabled or ScreenReaderEnabled is. Once it is on while Qt's
// bridge still sleeps, Qt's own reader of that status is asked to read it
// again, which starts the bridge as it would have at start-up. Nothing of
// this keeps the window waiting: the watch starts after the first frame,
// asks one question at a time with a time limit, and acts on a change only,
// so that a stuck or flooding service costs neither a freeze nor memory.
// Before the window exists it asks once, for half a second at most, so
// that Qt's bridge is kept from a service that would not answer it.
class AccessibilityWatch : public QObject {
    Q_OBJECT

public:
    // Before the first widget, whose creation starts Qt's bridge: notes
    // Qt's reader of the status as the bridge creates it.
    AccessibilityWatch();
    ~AccessibilityWatch() override;
    AccessibilityWatch(const AccessibilityWatch&) = delete;
    AccessibilityWatch& operator=(const AccessibilityWatch&) = delete;

    // Starts watching once the window has shown its first frame.
    void watchAfterFirstFrame(QWidget* window);

    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void statusPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    void watch();
    void readStatus();
    void statusRead(QDBusPendingCallWatcher* call);
    void bringUp();
    void spareQtAMuteService();

    // How long a question to the status may take; longer, and it is off.
    static constexpr int kAnswerWithin = 2000;
    // The same before the window exists, which waits for the answer.
    static constexpr int kFirstAnswerWithin = 500;
    static constexpr int kAskAgainAtMost = 64'000;

    QPointer<QObject> m_reader;
    QByteArray m_readAgain;
    bool m_watching = false;
    bool m_reading = false;
    bool m_on = false;
    int m_askAgainIn = kAnswerWithin;
};

} // namespace velmora
