#pragma once

#include <QFrame>
#include <QStringList>

#include <functional>

class QLabel;
class QPushButton;

namespace velmora {

// Trouble with what is kept, beneath the board: each message once, in
// plain sentences, until the player closes the bar. Never a box that takes
// the keyboard or stops the window from closing.
class MessageBar : public QFrame {
    Q_OBJECT

public:
    explicit MessageBar(QWidget* parent);

    // Shown after those before it; a message already shown is not repeated.
    // True where it was added.
    bool add(const QString& message);
    // Gone once it holds no more; the bar hides when none is left.
    void remove(const QString& message);
    // A message with a button that acts on it, such as undoing what it
    // tells; gone with the message.
    void offer(const QString& message, const QString& button, const std::function<void()>& act);
    void withdraw() { remove(QString(m_offered)); } // a copy: remove() clears it
    const QStringList& messages() const { return m_messages; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

signals:
    // The player closed it; the messages are gone with it.
    void closed();

private:
    QStringList m_messages;
    QLabel* m_text;
    QPushButton* m_close;
    QPushButton* m_action;
    QString m_offered;
};

} // namespace velmora
