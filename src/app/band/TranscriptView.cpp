#include "app/band/TranscriptView.h"

#include "app/access/AccessibleFactory.h"
#include "app/desktop/AfterFirstFrame.h"
#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace velmora {
namespace {

// Read-only text for screen readers; the transcript has no caret or selection.
class AccessibleTranscript : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit AccessibleTranscript(TranscriptView* view) : QAccessibleWidget(view, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) {
            return view()->text();
        }
        if (t == QAccessible::Name) {
            return TranscriptView::tr("Wurfergebnis");
        }
        return QAccessibleWidget::text(t);
    }

    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return view()->text().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(view()->text().size()); }
    QRect characterRect(int offset) const override
    {
        const QRect box = view()->characterBox(offset);
        return box.isNull() ? box : onScreen(view(), QRect(view()->mapToGlobal(box.topLeft()), box.size()));
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        return view()->offsetAt(view()->mapFromGlobal(fromScreen(view(), point)));
    }
    // The band's lines, not the whole surface beneath the controls, so that
    // a point over a control finds the control.
    QRect rect() const override
    {
        // Never more than the band shows: a long chain of dice runs on
        // beneath the window's edge.
        const QRect extent = view()->textExtent().intersected(view()->rect());
        return extent.isEmpty() ? QRect()
                                : onScreen(view(), QRect(view()->mapToGlobal(extent.topLeft()), extent.size()));
    }
    void scrollToSubstring(int, int) override {}
    // One run over the whole text: Orca splits what it says by these runs.
    QString attributes(int, int* start, int* end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    TranscriptView* view() const { return static_cast<TranscriptView*>(widget()); }
};

} // namespace

TranscriptView::TranscriptView(const TranscriptModel& model, int bandWidth, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_bandWidth(bandWidth)
{
    installAccessibleInterface<TranscriptView, AccessibleTranscript>();
    setObjectName(QStringLiteral("transcript"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // The German lines read left to right whatever the application's direction.
    setLayoutDirection(Qt::LeftToRight);
}

QString TranscriptView::text() const
{
    QStringList lines;
    for (const auto& line : m_model.lines()) {
        lines << QString::fromStdString(line);
    }
    return lines.join(QLatin1Char('\n'));
}

void TranscriptView::setBandWidth(int bandWidth)
{
    if (bandWidth == m_bandWidth) {
        return;
    }
    m_bandWidth = bandWidth;
    m_layout.reset();
    m_extent = linesExtent();
    update();
}

LineFitter& TranscriptView::lineLayout()
{
    const qreal ratio = devicePixelRatioF();
    if (!m_layout || m_layout->font() != font() || m_layout->devicePixelRatio() != ratio) {
        m_layout.emplace(font(), m_bandWidth, ratio);
    }
    return *m_layout;
}

int TranscriptView::lineHeight() { return lineLayout().lineHeight(); }

QRect TranscriptView::textExtent()
{
    return {0, 0, m_bandWidth, static_cast<int>(m_model.lines().size()) * lineHeight()};
}

QRect TranscriptView::characterBox(int offset)
{
    // Offsets run through text(): the lines joined by one line break each.
    if (offset < 0) {
        return {};
    }
    const auto& lines = m_model.lines();
    LineFitter& layout = lineLayout();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromStdString(lines[i]);
        if (offset <= line.size()) {
            const QFontMetricsF metrics(layout.fit(line).font);
            const qreal left = metrics.horizontalAdvance(line.left(offset));
            const qreal width = offset < line.size() ? metrics.horizontalAdvance(line.at(offset)) : 0;
            return QRectF(left, static_cast<qreal>(i) * layout.lineHeight(), width, layout.lineHeight())
                .toAlignedRect();
        }
        offset -= static_cast<int>(line.size()) + 1;
    }
    return {};
}

int TranscriptView::offsetAt(const QPoint& point)
{
    const auto& lines = m_model.lines();
    LineFitter& layout = lineLayout();
    if (point.y() < 0 || point.x() < 0 || layout.lineHeight() <= 0) {
        return -1;
    }
    const auto row = static_cast<std::size_t>(point.y() / layout.lineHeight());
    if (row >= lines.size()) {
        return -1;
    }
    int offset = 0;
    for (std::size_t i = 0; i < row; ++i) {
        offset += static_cast<int>(QString::fromStdString(lines[i]).size()) + 1;
    }
    const QString line = QString::fromStdString(lines[row]);
    const QFontMetricsF metrics(layout.fit(line).font);
    for (int j = 0; j < line.size(); ++j) {
        if (point.x() < metrics.horizontalAdvance(line.left(j + 1))) {
            return offset + j;
        }
    }
    return -1;
}

QRect TranscriptView::linesExtent()
{
    const auto& lines = m_model.lines();
    if (lines.empty()) {
        return {};
    }
    LineFitter& layout = lineLayout();
    qreal right = m_bandWidth;
    for (const auto& line : lines) {
        right = std::max(right, layout.fit(QString::fromStdString(line)).inkRight);
    }
    // A line's worth of margin on every side that ink could bleed to.
    const qreal margin = layout.lineHeight();
    const qreal growth = layout.repaintGrowth();
    return {0, 0, static_cast<int>(std::ceil((right + margin) * growth)),
        static_cast<int>(std::ceil((static_cast<qreal>(lines.size() + 1) * layout.lineHeight() + margin) * growth))};
}

void TranscriptView::transcriptChanged()
{
    // Everything the previous roll drew and everything this one draws.
    const QRect extent = linesExtent();
    update(m_extent.united(extent));
    m_extent = extent;
    // The text is only composed while assistive technology listens, and
    // told once the rolls pause: a screen reader reads it when asked, and a
    // quick run of rolls each telling it floods the reader, which then drops
    // the rolls' own notices.
    if (QAccessible::isActive() && !m_telling) {
        m_telling = true;
        QTimer::singleShot(250, this, [this] {
            m_telling = false;
            const QString now = text();
            QAccessibleTextUpdateEvent event(this, 0, m_announced, now);
            QAccessible::updateAccessibility(&event);
            m_announced = now;
        });
    }
}

void TranscriptView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        m_layout.reset();
        m_extent = linesExtent();
        update();
    }
    QWidget::changeEvent(event);
}

void TranscriptView::paintEvent(QPaintEvent* event)
{
    if (!m_fitPrepared) {
        // The die column's fit is the dearest part of the first roll; work
        // it out once the window is on screen, never before.
        m_fitPrepared = true;
        QTimer::singleShot(kFrameSettles, this, [this] { lineLayout().dieFit(); });
    }
    if (m_model.lines().empty()) {
        return;
    }
    LineFitter& layout = lineLayout();
    QPainter painter(this);
    painter.setLayoutDirection(Qt::LeftToRight);
    painter.setPen(palette().color(QPalette::WindowText));
    const int height = layout.lineHeight();
    // Lines next to the dirty area too, since ink can bleed past a line's box.
    const QRect dirty = event->rect().adjusted(0, -height, 0, height);
    int top = 0;
    // Nothing wraps; lines past the bottom edge are simply out of sight.
    for (const auto& line : m_model.lines()) {
        if (top > dirty.bottom()) {
            break;
        }
        if (top + height >= dirty.top() && !line.empty()) {
            const QString text = QString::fromStdString(line);
            const LineFit& fit = layout.fit(text);
            painter.setFont(fit.font);
            painter.drawText(QPointF(0, top + layout.baseline()), text);
        }
        top += height;
    }
}

} // namespace velmora
