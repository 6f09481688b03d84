#include "app/window/CaptionButton.h"

#include "app/access/AccessibleFactory.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>

namespace velmora {
namespace {

// Below this a caption is cut off by the button rather than shrunk further.
constexpr qreal kSmallestPoints = 6;

} // namespace

CaptionButton::CaptionButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
    // Found by assistive technology where it is drawn, at any scale.
    installAccessibleInterface<CaptionButton, AccessiblePushButton>();
}

QRect CaptionButton::captionRoom() const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
}

QSizeF CaptionButton::captionScale() const
{
    const QSize room = captionRoom().size();
    const qreal ratio = devicePixelRatioF();
    if (text() == m_fittedText && font() == m_fittedFont && room == m_fittedRoom && ratio == m_fittedRatio) {
        return m_scale;
    }
    m_fittedText = text();
    m_fittedFont = font();
    m_fittedRoom = room;
    m_fittedRatio = ratio;

    // The style centres the caption by its advance; ink reaches past either
    // end by a negative bearing, and anti-aliasing by up to a device pixel.
    // Scaled glyphs keep their positions in proportion, so the metric width
    // predicts the painted one.
    const QString caption = text();
    const QFontMetricsF metrics(font());
    qreal overhang = 0;
    if (!caption.isEmpty()) {
        overhang = std::max({0.0, -metrics.leftBearing(caption.front()), -metrics.rightBearing(caption.back())});
    }
    const qreal width = metrics.horizontalAdvance(caption) + 2 * overhang + 2 / ratio;
    const qreal across = width > 0 ? room.width() / width : 1;
    if (across >= 1) {
        m_scale = {1, 1};
    } else if (across >= kNarrowest) {
        m_scale = {across, 1};
    } else {
        const qreal points = font().pointSizeF() > 0 ? font().pointSizeF() : QFontInfo(font()).pointSizeF();
        const qreal smallest = points > 0 ? std::min(1.0, kSmallestPoints / points) : 1.0;
        const qreal up = std::max(smallest, across / kNarrowest);
        m_scale = {kNarrowest * up, up};
    }
    return m_scale;
}

void CaptionButton::paintEvent(QPaintEvent* event)
{
    const QSizeF scale = captionScale();
    if (scale == QSizeF(1, 1)) {
        QPushButton::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);

    // The label alone, in a room widened by as much as the painter narrows it.
    const QRectF room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    painter.translate(room.center());
    painter.scale(scale.width(), scale.height());
    const QSizeF wide(room.width() / scale.width(), room.height() / scale.height());
    option.rect = QRectF(QPointF(-wide.width() / 2, -wide.height() / 2), wide).toAlignedRect();
    option.text = caption;
    painter.drawControl(QStyle::CE_PushButtonLabel, option);
}

} // namespace velmora
