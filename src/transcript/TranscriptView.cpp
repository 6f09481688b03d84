#include "transcript/TranscriptView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QPainter>
#include <QPaintEvent>

#include <algorithm>

namespace velmora {
namespace {

// Read-only text for screen readers; the transcript has no caret or selection.
class AccessibleTranscript : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit AccessibleTranscript(TranscriptView* view)
        : QAccessibleWidget(view, QAccessible::StaticText)
    {
    }

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
    QString text(int start, int end) const override
    {
        return view()->text().mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(view()->text().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override
    {
        *start = *end = 0;
        return {};
    }

private:
    TranscriptView* view() const { return static_cast<TranscriptView*>(widget()); }
};

QAccessibleInterface* transcriptFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("velmora::TranscriptView") && object->isWidgetType()) {
        return new AccessibleTranscript(static_cast<TranscriptView*>(object));
    }
    return nullptr;
}

} // namespace

TranscriptView::TranscriptView(const TranscriptModel& model, QWidget* parent)
    : QWidget(parent), m_model(model)
{
    static const bool installed = [] {
        QAccessible::installFactory(transcriptFactory);
        return true;
    }();
    Q_UNUSED(installed);
    setObjectName(QStringLiteral("transcript"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QString TranscriptView::text() const
{
    QStringList lines;
    for (const auto& line : m_model.lines()) {
        lines << QString::fromStdString(line);
    }
    return lines.join(QLatin1Char('\n'));
}

int TranscriptView::lineHeight() const
{
    return fontMetrics().lineSpacing();
}

QRect TranscriptView::linesExtent() const
{
    const QFontMetrics metrics = fontMetrics();
    int widest = 0;
    for (const auto& line : m_model.lines()) {
        widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(line)));
    }
    // A little room for glyphs that overhang their advance.
    const int overhang = metrics.height() / 4;
    return {0, 0, widest + overhang, static_cast<int>(m_model.lines().size()) * metrics.lineSpacing()};
}

void TranscriptView::transcriptChanged()
{
    // Only what the old and the new lines cover is painted again, so the
    // controls far from the transcript are left alone.
    const QRect extent = linesExtent();
    update(m_paintedExtent.united(extent));
    m_paintedExtent = extent;
    // The text is only composed while assistive technology listens.
    if (QAccessible::isActive()) {
        const QString now = text();
        QAccessibleTextUpdateEvent event(this, 0, m_announced, now);
        QAccessible::updateAccessibility(&event);
        m_announced = now;
    }
}

void TranscriptView::paintEvent(QPaintEvent* event)
{
    if (m_model.lines().empty()) {
        return;
    }
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics metrics = fontMetrics();
    const int height = metrics.lineSpacing();
    const int bottom = event->rect().bottom();
    int top = 0;
    // Nothing wraps; lines past the bottom edge are simply out of sight.
    for (const auto& line : m_model.lines()) {
        if (top > bottom) {
            break;
        }
        if (top + height >= event->rect().top() && !line.empty()) {
            painter.drawText(QPoint(0, top + metrics.ascent()), QString::fromStdString(line));
        }
        top += height;
    }
}

} // namespace velmora
