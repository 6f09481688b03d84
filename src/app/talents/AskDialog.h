#pragma once

#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;
class QSpinBox;

namespace velmora {

// Asks for a name or a step, as Qt's input dialog does, with two
// differences a screen reader hears. The field is filled, selected and
// focused before the dialog is shown: Qt's dialog selects its field as it
// shows it, and a screen reader that meets that selection once the dialog
// is active takes the field for its focus without a word, so that the
// player hears the dialog but not what to type. And the dialog itself
// tells its question, as a message box tells its text.
class AskDialog : public QDialog {
    Q_OBJECT

public:
    // What was typed, or nothing where the player cancelled.
    static std::optional<QString> name(
        QWidget* parent, const QString& title, const QString& label, const QString& text);
    static std::optional<int> number(
        QWidget* parent, const QString& title, const QString& label, int value, int minimum, int maximum);
    // The same in two steps, for a step asked right after another dialog:
    // made, its field filled, while that dialog is still open, so that a
    // screen reader that is late with the filling meets it while another
    // window is active, not as this one opens, where it would take the
    // field for the focus and say no dialog. Asked, with its question,
    // once the other is answered; deleted by its parent where it is not
    // asked, or by askNumber.
    static AskDialog* numberDialog(QWidget* parent, const QString& title, int value, int minimum, int maximum);
    static std::optional<int> askNumber(AskDialog* dialog, const QString& label);

    // The field's text, as the player types it.
    QString textValue() const;
    void setTextValue(const QString& text);

private:
    AskDialog(QWidget* parent, const QString& title, const QString& label, QWidget* field);
    // Shows the dialog until answered; false, and the dialog deleted, where
    // it was cancelled or its window went away.
    static bool ask(AskDialog* dialog);

    QLabel* m_caption = nullptr;
    QLineEdit* m_line = nullptr;
    QSpinBox* m_spin = nullptr;
};

} // namespace velmora
