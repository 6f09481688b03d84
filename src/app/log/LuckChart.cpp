#include "app/log/LuckChart.h"

#include <QHeaderView>
#include <QLocale>
#include <QPainter>
#include <QTableWidget>

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

// Each luck in one band: the last one holds 100 % too.
QString bandName(int band)
{
    return band < 9 ? LuckChart::tr("%1 bis unter %2 %").arg(band * 10).arg(band * 10 + 10)
                    : LuckChart::tr("90 bis 100 %");
}

QString fairCount(double count) { return QLocale(QLocale::German).toString(count, 'f', 1); }

// A cell of the band table that says what its number counts, worked out from
// its text: a second stored value would be a second change, and a second
// event for a screen reader, with every roll.
class SpokenBandCell : public QTableWidgetItem {
public:
    QVariant data(int role) const override
    {
        if (role != Qt::AccessibleTextRole || column() == 0) {
            return QTableWidgetItem::data(role);
        }
        const QString number = text();
        if (column() == 2) {
            return LuckChart::tr("faire Würfel %1").arg(number);
        }
        return number == QStringLiteral("1") ? LuckChart::tr("1 Wurf") : LuckChart::tr("%1 Würfe").arg(number);
    }
};

} // namespace

LuckChart::LuckChart(QWidget* parent) : QWidget(parent)
{
    setChosen(false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void LuckChart::setChosen(bool chosen)
{
    m_chosen = chosen;
    const QString name = chosen ? tr("Glück der gewählten Würfe, in Zehnteln") : tr("Glück heute, in Zehnteln");
    if (accessibleName() != name) {
        setAccessibleName(name);
        const QString explained = (chosen ? tr("Balken: wie viele der gewählten Würfe in jedem Zehntel des Glücks "
                                               "lagen.")
                                          : tr("Balken: wie viele Würfe heute in jedem Zehntel des Glücks lagen."))
            + tr(" Gestrichelt: wie viele faire Würfel dort im Mittel gäben.");
        setAccessibleDescription(explained);
        setToolTip(explained);
        update();
    }
}

void LuckChart::setBands(const std::array<int, 10>& bands, const std::array<double, 10>& fair)
{
    if (bands != m_bands || fair != m_fair) {
        m_bands = bands;
        m_fair = fair;
        update();
    }
}

QSize LuckChart::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QLatin1Char('0')) * 40, metrics.height() * 9};
}

QSize LuckChart::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QLatin1Char('0')) * 24, metrics.height() * 8};
}

void LuckChart::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics(font());
    const QColor text = palette().color(QPalette::Text);
    QColor grid = text;
    grid.setAlphaF(0.2);
    const int line = metrics.height();
    const int most = std::max({1, *std::max_element(m_bands.begin(), m_bands.end()),
        static_cast<int>(std::ceil(*std::max_element(m_fair.begin(), m_fair.end())))});

    const int left = metrics.horizontalAdvance(QString::number(most)) + 10;
    // A legend above, on two lines where one is too narrow for it; the
    // scale and its name beneath.
    const int swatch = metrics.horizontalAdvance(QLatin1Char('0')) * 3;
    const int gap = metrics.horizontalAdvance(QLatin1Char(' '));
    const QString names[] = {m_chosen ? tr("gewählte Würfe") : tr("Würfe heute"), tr("faire Würfel")};
    const bool stacked =
        left + 2 * (swatch + gap) + metrics.horizontalAdvance(names[0]) + metrics.horizontalAdvance(names[1]) + 3 * gap
        > width();
    const int legend = stacked ? 2 * line : line;
    const QRect plot(QPoint(left, legend + line / 2 + 4), QPoint(width() - 10, height() - 2 * line - 8));
    if (plot.width() < 40 || plot.height() < 20) {
        return;
    }
    const bool mirrored = layoutDirection() == Qt::RightToLeft;
    const auto mx = [&](double x) { return mirrored ? width() - x : x; };
    const auto yAt = [&](double count) { return plot.bottom() - count * plot.height() / most; };
    const double bandWidth = plot.width() / 10.0;

    // The axis and its counts.
    painter.setPen(grid);
    painter.drawLine(QPointF(mx(plot.left()), plot.bottom()), QPointF(mx(plot.right()), plot.bottom()));
    painter.setPen(text);
    for (const int count : {0, most}) {
        painter.drawText(QRectF(mx(0) - (mirrored ? left - 4 : 0), yAt(count) - line / 2.0, left - 4, line),
            Qt::AlignRight | Qt::AlignVCenter | Qt::AlignAbsolute, QString::number(count));
    }
    // The bars, one a band, with a gap between.
    QColor bar = palette().color(QPalette::Highlight);
    for (int band = 0; band < 10; ++band) {
        const double x = plot.left() + band * bandWidth;
        const QRectF rect(
            QPointF(mx(mirrored ? x + bandWidth - 2 : x + 2), yAt(m_bands[static_cast<std::size_t>(band)])),
            QPointF(mx(mirrored ? x + 2 : x + bandWidth - 2), plot.bottom()));
        painter.fillRect(rect.normalized(), bar);
    }
    // What fair dice give in each band, as steps from band to band.
    painter.setPen(QPen(text, 2, Qt::DashLine));
    QPolygonF fair;
    for (int band = 0; band < 10; ++band) {
        const double y = yAt(m_fair[static_cast<std::size_t>(band)]);
        fair << QPointF(mx(plot.left() + band * bandWidth), y) << QPointF(mx(plot.left() + (band + 1) * bandWidth), y);
    }
    painter.drawPolyline(fair);
    // The legend: a bar for tonight's rolls, the dashed line for fair dice.
    const auto flip = [&](const QRect& r) {
        return mirrored ? QRect(width() - r.right() - 1, r.top(), r.width(), r.height()) : r;
    };
    int x = left;
    for (const bool fairDice : {false, true}) {
        const int top = stacked && fairDice ? line : 0;
        x = stacked ? left : x;
        const QRect mark = flip(QRect(x, top + line / 4, swatch, line / 2));
        if (fairDice) {
            painter.setPen(QPen(text, 2, Qt::DashLine));
            painter.drawLine(mark.left(), mark.center().y(), mark.right(), mark.center().y());
        } else {
            painter.fillRect(mark, bar);
        }
        const QString& name = names[fairDice ? 1 : 0];
        const int named = metrics.horizontalAdvance(name);
        painter.setPen(text);
        painter.drawText(flip(QRect(x + swatch + gap, top, named, line)), Qt::AlignVCenter, name);
        x += swatch + gap + named + 3 * gap;
    }
    // The scale beneath: 0, 50 and 100 %, and its name.
    painter.drawText(QRectF(plot.left(), plot.bottom() + 4 + line, plot.width(), line), Qt::AlignCenter, tr("Glück"));
    for (const int percent : {0, 50, 100}) {
        const double x = mx(plot.left() + percent / 10.0 * bandWidth);
        const QString label = percent == 100 ? tr("100 %") : QString::number(percent);
        const double w = metrics.horizontalAdvance(label);
        painter.drawText(
            QRectF(std::clamp(x - w / 2, 0.0, width() - w), plot.bottom() + 4, w, line), Qt::AlignCenter, label);
    }
}

QString luckExplained()
{
    return LuckChart::tr("Glück: wie viele Würfe derselben Stufe mit demselben Karma fairer Würfel niedriger "
                         "ausfielen, gleich hohe zur Hälfte gezählt. 50 % ist ein gewöhnlicher Wurf, 90 % ein sehr "
                         "glücklicher.");
}

void fillLuckTable(QTableWidget* table, const std::array<int, 10>& bands, const std::array<double, 10>& fair)
{
    table->setColumnCount(3);
    table->setRowCount(10);
    table->setHorizontalHeaderLabels({LuckChart::tr("Glück"), LuckChart::tr("Würfe"), LuckChart::tr("faire Würfel")});
    table->horizontalHeaderItem(0)->setToolTip(luckExplained());
    table->horizontalHeaderItem(2)->setToolTip(
        LuckChart::tr("Wie viele dieser Würfe faire Würfel im Mittel in diesem Zehntel gäben"));
    for (int band = 0; band < 10; ++band) {
        const QString texts[] = {bandName(band), QString::number(bands[static_cast<std::size_t>(band)]),
            fairCount(fair[static_cast<std::size_t>(band)])};
        for (int column = 0; column < 3; ++column) {
            QTableWidgetItem* item = table->item(band, column);
            if (item == nullptr) {
                item = new SpokenBandCell;
                item->setFlags(Qt::ItemIsEnabled);
                table->setItem(band, column, item);
            }
            if (item->text() != texts[column]) {
                item->setText(texts[column]);
            }
        }
    }
    table->resizeColumnsToContents();
}

} // namespace velmora
