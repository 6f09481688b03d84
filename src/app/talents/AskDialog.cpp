#include "app/talents/AskDialog.h"

#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

namespace velmora {
namespace {

// Focused by Tab, a line edit selects all of its text, even where there is
// none: still a selection event, which a screen reader meets before the
// focus and then takes the field for its focus without a word.
class QuietLineEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent* event) override
    {
        if (text().isEmpty() && (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)) {
            QFocusEvent quiet(QEvent::FocusIn, Qt::OtherFocusReason);
            QLineEdit::focusInEvent(&quiet);
            return;
        }
        QLineEdit::focusInEvent(event);
    }
};

} // namespace

AskDialog::AskDialog(QWidget* parent, const QString& title, const QString& label, QWidget* field) : QDialog(parent)
{
    setWindowTitle(title);
    // Said with the dialog: a screen reader that is still busy with the keys
    // typed before takes the field for its focus without a word, and then
    // says at most its value.
    setAccessibleDescription(label);
    auto* caption = new QLabel(label, this);
    m_caption = caption;
    caption->setBuddy(field);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(field);
    layout->addWidget(buttons);
    // Room for a name of some length, in the user's font.
    field->setMinimumWidth(fontMetrics().averageCharWidth() * 32);
    // And for the title whole in the title bar, beside the window's icon and
    // its buttons, which window managers draw square: in bold, as most do.
    QFont bold = font();
    bold.setBold(true);
    const int bar = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    setMinimumWidth(QFontMetrics(bold).horizontalAdvance(title) + 2 * QFontMetrics(bold).height() + 4 * bar);
    field->setFocus(Qt::OtherFocusReason);
}

bool AskDialog::ask(AskDialog* dialog)
{
    // Whatever closes the window under the dialog deletes the dialog too.
    const QPointer<AskDialog> alive(dialog);
    const bool accepted = dialog->exec() == QDialog::Accepted && !alive.isNull();
    if (!accepted) {
        delete alive;
    }
    return accepted;
}

std::optional<QString> AskDialog::name(QWidget* parent, const QString& title, const QString& label, const QString& text)
{
    auto* line = new QuietLineEdit(text);
    line->selectAll();
    auto* dialog = new AskDialog(parent, title, label, line);
    dialog->m_line = line;
    if (!ask(dialog)) {
        return std::nullopt;
    }
    const QString typed = line->text();
    delete dialog;
    return typed;
}

std::optional<int> AskDialog::number(
    QWidget* parent, const QString& title, const QString& label, int value, int minimum, int maximum)
{
    return askNumber(numberDialog(parent, title, value, minimum, maximum), label);
}

AskDialog* AskDialog::numberDialog(QWidget* parent, const QString& title, int value, int minimum, int maximum)
{
    auto* spin = new QSpinBox;
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    spin->selectAll();
    auto* dialog = new AskDialog(parent, title, {}, spin);
    dialog->m_spin = spin;
    return dialog;
}

std::optional<int> AskDialog::askNumber(AskDialog* dialog, const QString& label)
{
    if (dialog == nullptr) {
        return std::nullopt; // gone with its parent
    }
    dialog->m_caption->setText(label);
    dialog->setAccessibleDescription(label);
    QSpinBox* spin = dialog->m_spin;
    if (!ask(dialog)) {
        return std::nullopt;
    }
    spin->interpretText();
    const int typed = spin->value();
    delete dialog;
    return typed;
}

QString AskDialog::textValue() const { return m_line != nullptr ? m_line->text() : m_spin->cleanText(); }

void AskDialog::setTextValue(const QString& text)
{
    if (m_line != nullptr) {
        m_line->setText(text);
    } else {
        m_spin->setValue(text.toInt());
    }
}

} // namespace velmora
