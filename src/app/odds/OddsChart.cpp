#include "app/odds/OddsChart.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>

namespace velmora {
namespace {

// Okabe and Ito's colours, told apart with most kinds of colour blindness;
// "ohne Karma" takes the text colour.
constexpr QRgb kCurveColours[kKarmaColumns] = {0, 0xE69F00, 0x56B4E9, 0x009E73, 0xD55E00};
constexpr Qt::PenStyle kCurveDashes[kKarmaColumns] = {
    Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine, Qt::DashDotDotLine};
constexpr int kLegendLine = 28;
constexpr int kPercentTicks[] = {0, 25, 50, 75, 100};

} // namespace

OddsChart::OddsChart(QWidget* parent) : QWidget(parent)
{
    setAccessibleName(tr("Diagramm der Chancen je Mindestwurf"));
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void OddsChart::setOdds(const StepOddsSet& odds, int lastRoll, int chosenLevel)
{
    m_odds = odds;
    m_lastRoll = std::max(lastRoll, 2);
    m_chosen = chosenLevel;
    setAccessibleDescription(tr("Dieselben Chancen wie die Tabelle, gewählt: %1").arg(karmaColumnTitle(chosenLevel)));
    update();
}

QSize OddsChart::sizeHint() const { return {440, 340}; }

QSize OddsChart::minimumSizeHint() const { return {260, 200}; }

QPen OddsChart::curvePen(int level, bool chosen) const
{
    const auto i = static_cast<std::size_t>(level);
    const QColor colour = level == kNoKarma ? palette().color(QPalette::Text) : QColor(kCurveColours[i]);
    QPen pen(colour, chosen ? 3.0 : 1.5, kCurveDashes[i]);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

void OddsChart::paintEvent(QPaintEvent* /*event*/)
{
    if (m_odds[0] == nullptr) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics(font());
    const QColor text = palette().color(QPalette::Text);
    QColor grid = text;
    grid.setAlphaF(0.2);
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics boldMetrics(bold);
    const int line = metrics.height();

    // Laid out left to right, and mirrored as a whole where the window reads
    // right to left, text excepted.
    const bool mirrored = layoutDirection() == Qt::RightToLeft;
    const auto mx = [&](double x) { return mirrored ? width() - x : x; };
    const auto mrect = [&](const QRectF& r) {
        return mirrored ? QRectF(width() - r.right(), r.top(), r.width(), r.height()) : r;
    };
    const auto malign = [&](Qt::Alignment a) {
        // Mirrored here, and absolute, for Qt would mirror a plain left or
        // right for right-to-left text once more.
        if (mirrored && (a & (Qt::AlignLeft | Qt::AlignRight))) {
            a ^= Qt::AlignLeft | Qt::AlignRight;
        }
        return a | Qt::AlignAbsolute;
    };

    // The legend, in rows across the top; the chosen level in bold.
    int x = 8;
    int y = 6;
    for (int level = kNoKarma; level < kKarmaColumns; ++level) {
        const bool chosen = level == m_chosen;
        const QString name = chosen ? karmaColumnTitle(level) + tr(" (gewählt)") : karmaColumnTitle(level);
        const int entry = kLegendLine + 6 + (chosen ? boldMetrics : metrics).horizontalAdvance(name) + 16;
        if (x > 8 && x + entry > width()) {
            x = 8;
            y += line + 4;
        }
        painter.setPen(curvePen(level, chosen));
        painter.drawLine(QPointF(mx(x), y + line / 2.0), QPointF(mx(x + kLegendLine), y + line / 2.0));
        painter.setPen(text);
        painter.setFont(chosen ? bold : font());
        painter.drawText(mrect(QRectF(x + kLegendLine + 6, y, entry - kLegendLine - 6, line)),
            malign(Qt::AlignLeft | Qt::AlignVCenter), name);
        x += entry;
    }
    painter.setFont(font());

    const int left = metrics.horizontalAdvance(QStringLiteral("100 %")) + 12;
    const QRect plot(QPoint(left, y + line + line / 2 + 6), QPoint(width() - 14, height() - 2 * line - 10));
    if (plot.width() < 40 || plot.height() < 40) {
        return;
    }
    const auto xAt = [&](int n) {
        return mx(plot.left() + (n - 1) * static_cast<double>(plot.width()) / (m_lastRoll - 1));
    };
    const auto yAt = [&](double chance) { return plot.bottom() - chance * plot.height(); };

    for (const int percent : kPercentTicks) {
        const double gy = yAt(percent / 100.0);
        painter.setPen(grid);
        painter.drawLine(QPointF(mx(plot.left()), gy), QPointF(mx(plot.right()), gy));
        painter.setPen(text);
        painter.drawText(mrect(QRectF(0, gy - line / 2.0, left - 6, line)), malign(Qt::AlignRight | Qt::AlignVCenter),
            QStringLiteral("%1 %").arg(percent));
    }
    // Labels on the minimum rolls at a spacing that leaves room between them.
    const int labelWidth = metrics.horizontalAdvance(QString::number(m_lastRoll)) * 2 + 8;
    int every = 1;
    for (const int spacing : {1, 2, 5, 10, 20, 50, 100}) {
        every = spacing;
        if (static_cast<double>(m_lastRoll) / spacing * labelWidth <= plot.width()) {
            break;
        }
    }
    for (int n = 1; n <= m_lastRoll; ++n) {
        if (n != 1 && n % every != 0) {
            continue;
        }
        const double gx = xAt(n);
        painter.setPen(grid);
        painter.drawLine(QPointF(gx, plot.top()), QPointF(gx, plot.bottom()));
        painter.setPen(text);
        painter.drawText(QRectF(gx - labelWidth / 2.0, plot.bottom() + 4, labelWidth, line),
            Qt::AlignHCenter | Qt::AlignTop, QString::number(n));
    }
    painter.drawText(mrect(QRectF(plot.left(), plot.bottom() + line + 6, plot.width(), line)),
        Qt::AlignHCenter | Qt::AlignTop, tr("Mindestwurf"));
    painter.drawRect(mrect(plot));

    // The chosen curve last, on top of the others.
    for (int i = 0; i < kKarmaColumns; ++i) {
        const int level = i < m_chosen ? i : (i == kKarmaColumns - 1 ? m_chosen : i + 1);
        QPolygonF curve;
        for (int n = 1; n <= m_lastRoll; ++n) {
            curve << QPointF(xAt(n), yAt(m_odds[static_cast<std::size_t>(level)]->chanceAtLeast(n)));
        }
        painter.setPen(curvePen(level, level == m_chosen));
        painter.drawPolyline(curve);
    }
}

} // namespace velmora
