#pragma once

#include <QObject>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace velmora {

// One message as a screen reader meets it: a notification that appears once
// with its words and keeps them. On screen it has no size and paints nothing.
class Notice : public QWidget {
    Q_OBJECT

public:
    Notice(const QString& said, QWidget* window);

    const QString& said() const { return m_said; }

private:
    QString m_said;
};

// Tells a screen reader what changes away from the focus: the result of a
// roll and the karma choice. Where Qt can (6.8 on), each message is an
// announcement, which screen readers speak as plain words; before, it is a
// notice of its own, never rewritten: a screen reader reads a notification
// when it gets to it, and one rewritten per message let it tell a roll with
// the next one's words, or drop all but the last of a burst. Nothing is
// composed while no assistive technology listens.
class Announcer : public QObject {
    Q_OBJECT

public:
    explicit Announcer(QWidget* window);

    // The message is said first, then the details.
    void announce(const QString& message, const QString& details = {});

    // Long after any screen reader has read a notice, it goes; and beyond so
    // many at once, the oldest, so that a flood of clicks costs no memory.
    static constexpr int kKeptMilliseconds = 60'000;
    static constexpr int kMostKept = 64;

signals:
    // Each message as it goes out, whole.
    void announced(const QString& words);

private:
    QWidget* m_window;
};

// An update that sends a screen reader events, run at once; those asked for
// while the last is less than a quarter second old are run as one when the
// requests pause. Orca 43 queues every event it is sent and drops notices
// once fifty wait, and a quick run of karma keys and rolls sent it more than
// it could take; what is told at the pause is the latest state.
class PacedUpdate : public QObject {
    Q_OBJECT

public:
    PacedUpdate(std::function<void()> update, QObject* parent);

    void request();

    static constexpr int kPauseMilliseconds = 250;

private:
    std::function<void()> m_update;
    QTimer m_pause;
    bool m_pending = false;
};

} // namespace velmora
