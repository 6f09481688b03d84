#include "app/window/CaptionFit.h"

#include "app/band/LineFitter.h"

#include <QEvent>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace velmora {

CaptionFit::CaptionFit(QPushButton* button) : QObject(button), m_button(button)
{
    button->installEventFilter(this);
    // A button not yet shown fits once, when its size arrives before its
    // first frame.
    if (!button->testAttribute(Qt::WA_PendingResizeEvent)) {
        refit();
    }
}

void CaptionFit::refit()
{
    m_fitting = true;
    // Measured in the font the button would have without a fit of ours.
    m_button->setFont(QFont());
    QStyleOptionButton option;
    option.initFrom(m_button);
    option.text = m_button->text();
    const int room = m_button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, m_button).width();
    const LineFitter layout(m_button->font(), room, m_button->devicePixelRatioF());
    const LineFit fit = layout.fitAlone(m_button->text());
    if (fit.font != m_button->font()) {
        // Only what the fit changed, so that everything else still follows
        // the window's font.
        QFont narrowed;
        narrowed.setStretch(fit.stretch());
        if (fit.font.pointSizeF() > 0 && fit.font.pointSizeF() != m_button->font().pointSizeF()) {
            narrowed.setPointSizeF(fit.font.pointSizeF());
        } else if (fit.font.pixelSize() > 0 && fit.font.pixelSize() != m_button->font().pixelSize()) {
            narrowed.setPixelSize(fit.font.pixelSize());
        }
        m_button->setFont(narrowed);
    }
    m_fitting = false;
}

bool CaptionFit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_button && !m_fitting) {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::FontChange:
        case QEvent::StyleChange:
        case QEvent::ScreenChangeInternal:
            refit();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velmora
