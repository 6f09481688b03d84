#include "app/window/MessageBar.h"

#include "app/desktop/HeldKeys.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace velmora {

MessageBar::MessageBar(QWidget* parent)
    : QFrame(parent)
    , m_text(new QLabel(this))
    , m_close(new QPushButton(tr("Schließen"), this))
    , m_action(new QPushButton(this))
{
    setObjectName(QStringLiteral("messageBar"));
    setFrameShape(QFrame::StyledPanel);
    // The tooltip colours: the desktop's own for a note beside the work.
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);
    setAutoFillBackground(true);
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setForegroundRole(QPalette::ToolTipText);
    m_close->setAutoDefault(false);
    m_close->setAccessibleDescription(tr("Schließt die Meldungen"));
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_action, 0, Qt::AlignTop);
    layout->addWidget(m_close, 0, Qt::AlignTop);
    m_action->setAutoDefault(false);
    m_action->hide();
    connect(m_close, &QPushButton::clicked, this, [this] {
        m_messages.clear();
        m_offered.clear();
        m_action->hide();
        hide();
        emit closed();
    });
    ReturnPresses::install(this);
    hide();
}

bool MessageBar::add(const QString& message)
{
    if (m_messages.contains(message)) {
        return false;
    }
    m_messages << message;
    m_text->setText(m_messages.join(QLatin1Char('\n')));
    m_text->setAccessibleName(m_text->text());
    return true;
}

void MessageBar::offer(const QString& message, const QString& button, const std::function<void()>& act)
{
    withdraw();
    m_offered = message;
    add(message);
    m_action->setText(button);
    m_action->disconnect();
    connect(m_action, &QPushButton::clicked, this, act);
    m_action->show();
    show();
}

void MessageBar::remove(const QString& message)
{
    if (message == m_offered) {
        m_offered.clear();
        m_action->hide();
    }
    if (m_messages.removeAll(message) > 0) {
        m_text->setText(m_messages.join(QLatin1Char('\n')));
        m_text->setAccessibleName(m_text->text());
        setVisible(!m_messages.isEmpty());
    }
}

int MessageBar::heightForWidth(int width) const
{
    // Every line of every message whole, however narrow the window.
    const int frame = frameWidth();
    const QMargins margins = layout()->contentsMargins() + QMargins(frame, frame, frame, frame);
    const int action = m_action->isVisibleTo(this) ? m_action->sizeHint().width() + layout()->spacing() : 0;
    const int textWidth =
        width - margins.left() - margins.right() - layout()->spacing() - m_close->sizeHint().width() - action;
    const int text = m_text->heightForWidth(std::max(textWidth, 1));
    return std::max(text, m_close->sizeHint().height()) + margins.top() + margins.bottom();
}

} // namespace velmora
