#include "ui/stackedbarchart.h"

#include "model/viewformat.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <qdrawutil.h>

#include <algorithm>
#include <cmath>

namespace {

QString axisText(double value) { return QString::fromStdString(axisNumber(value)); }

// Room around the bevel, as the totals window's other panels have.
constexpr int MARGIN_TOP = 3;
constexpr int MARGIN_LEFT = 1;
constexpr int MARGIN_RIGHT = 2;
constexpr int MARGIN_BOTTOM = 2;
// From the bevel's outer edge to the chart's content.
constexpr int BEVEL_BORDER = 6;
constexpr int TICK_LENGTH = 3;
constexpr int LABEL_GAP = 4;
// Pixels between two shown category labels: enough to read two of them
// as two.
constexpr int LABEL_SPACING = 6;
constexpr int LEGEND_GAP = 12;
constexpr double BAR_SHARE = 0.85;
constexpr int MOST_TICK_STEPS = 5;

QColor tintOf(const QColor& color)
{
    // Halfway to white: lighter() leaves black as it is.
    return QColor((color.red() + 255) / 2, (color.green() + 255) / 2, (color.blue() + 255) / 2);
}

double clampedValue(double value)
{
    return value > 0 ? value : 0;
}

double stackedTotal(const ChartRow& row)
{
    return clampedValue(row.first) + clampedValue(row.second);
}

// The least number of rows between two shown labels such that each gets
// extent pixels plus LABEL_SPACING: every other label, every third, and so on.
int labelStride(double rowHeight, int extent)
{
    if (rowHeight <= 0)
        return 1;
    const int needed = extent + LABEL_SPACING;
    return std::max(1, static_cast<int>(std::ceil(needed / rowHeight)));
}

} // namespace

TStackedBarChart::TStackedBarChart(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    updateStyles();
}

AxisScale TStackedBarChart::scaleFor(double largest)
{
    if (!(largest > 0))
        largest = 1;
    const double magnitude = std::pow(10.0, std::floor(std::log10(largest / MOST_TICK_STEPS)));
    // A ratio a rounding error above a whole number still means that number.
    const auto steps = [largest](double step) { return std::ceil(largest / step - 1e-9); };
    double step = 10 * magnitude;
    for (const double mantissa : {1.0, 2.0, 5.0}) {
        if (steps(mantissa * magnitude) <= MOST_TICK_STEPS) {
            step = mantissa * magnitude;
            break;
        }
    }
    return {steps(step) * step, step};
}

void TStackedBarChart::setRows(std::vector<ChartRow> rows)
{
    rows_ = std::move(rows);
    double largest = 0;
    for (const ChartRow& row : rows_)
        largest = std::max(largest, stackedTotal(row));
    scale_ = scaleFor(largest);
    invalidate();
}

void TStackedBarChart::setSeriesTitles(const QString& first, const QString& second)
{
    titles_ = {first, second};
    invalidate();
}

void TStackedBarChart::setSeriesColors(const QColor& first, const QColor& second)
{
    colors_ = {first, second};
    updateStyles();
    update();
}

void TStackedBarChart::setLabelsRotated(bool rotated)
{
    rotated_ = rotated;
    invalidate();
}

void TStackedBarChart::setOutlineStyle(Qt::PenStyle style)
{
    outlineStyle_ = style;
    updateStyles();
    update();
}

void TStackedBarChart::updateStyles()
{
    for (std::size_t series = 0; series < colors_.size(); ++series) {
        // In the bar's own coordinates, so one brush serves every bar.
        QLinearGradient gradient(0, 0, 0, 1);
        gradient.setCoordinateMode(QGradient::ObjectMode);
        gradient.setColorAt(0, tintOf(colors_[series]));
        gradient.setColorAt(0.5, colors_[series]);
        gradient.setColorAt(1, colors_[series]);
        fills_[series] = QBrush(gradient);
        QPen outline(colors_[series].darker(200), 0, outlineStyle_);
        outlines_[series] = outline;
    }
}

void TStackedBarChart::invalidate()
{
    layout_.valid = false;
    update();
}

void TStackedBarChart::resizeEvent(QResizeEvent* event)
{
    layout_.valid = false;
    QWidget::resizeEvent(event);
}

void TStackedBarChart::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        layout_.valid = false;
    QWidget::changeEvent(event);
}

const TStackedBarChart::Layout& TStackedBarChart::layout() const
{
    if (layout_.valid && layout_.size == size())
        return layout_;
    Layout& out = layout_;
    out.size = size();
    const QFontMetrics metrics(font());
    out.frame = rect().adjusted(MARGIN_LEFT, MARGIN_TOP, -MARGIN_RIGHT, -MARGIN_BOTTOM);
    out.content = out.frame.adjusted(BEVEL_BORDER, BEVEL_BORDER, -BEVEL_BORDER, -BEVEL_BORDER);

    int labelWidth = 0;
    if (rotated_) {
        labelWidth = rows_.empty() ? 0 : metrics.height();
    } else {
        for (const ChartRow& row : rows_)
            labelWidth = std::max(labelWidth, metrics.horizontalAdvance(row.label));
    }
    // Room for the end labels, centred on the plot's edges, and a digit to spare.
    const int endTick = metrics.horizontalAdvance(axisText(scale_.maximum)) + metrics.horizontalAdvance(QLatin1Char('0'));

    // The legend's line, then the tick labels' line, then the ticks.
    const int top = out.content.top() + 2 * metrics.height() + TICK_LENGTH;
    const int left = out.content.left() + std::max(labelWidth + LABEL_GAP, (endTick + 1) / 2);
    const int right = std::max(left + 1, out.content.right() + 1 - (endTick + 1) / 2);
    const int bottom = std::max(top + 1, out.content.bottom() + 1);
    out.plot = QRectF(left, top, right - left, bottom - top);
    out.rowHeight = rows_.empty() ? 0 : out.plot.height() / static_cast<double>(rows_.size());

    out.ticks.clear();
    layOutTicks(out);
    layOutLabels(out);
    layOutLegend(out);
    out.valid = true;
    return out;
}

void TStackedBarChart::layOutTicks(Layout& out) const
{
    const QFontMetrics metrics(font());
    const int count = static_cast<int>(std::lround(scale_.maximum / scale_.step));
    const int textTop = out.content.top() + metrics.height();
    for (int index = 0; index <= count; ++index) {
        Tick tick;
        tick.x = xFor(out, index * scale_.step);
        tick.text = axisText(index * scale_.step);
        const int width = metrics.horizontalAdvance(tick.text);
        tick.textRect = QRect(static_cast<int>(std::lround(tick.x - width / 2.0)), textTop, width, metrics.height());
        out.ticks.push_back(std::move(tick));
    }
}

void TStackedBarChart::layOutLabels(Layout& out) const
{
    const QFontMetrics metrics(font());
    int extent = metrics.height();
    if (rotated_) {
        for (const ChartRow& row : rows_)
            extent = std::max(extent, metrics.horizontalAdvance(row.label));
    }
    const int stride = labelStride(out.rowHeight, extent);
    out.labels.assign(rows_.size(), QRect());
    const int right = static_cast<int>(out.plot.left()) - LABEL_GAP;
    // The first pixel row the next label may take: below the plot's top,
    // then below the last label shown.
    int firstFree = static_cast<int>(out.plot.top());
    for (std::size_t row = 0; row < rows_.size(); row += static_cast<std::size_t>(stride)) {
        const double middle = out.plot.top() + (static_cast<double>(row) + 0.5) * out.rowHeight;
        const int advance = metrics.horizontalAdvance(rows_[row].label);
        const int height = rotated_ ? advance : metrics.height();
        // Centred on its row, but not into the plot's top nor onto the
        // label before, and not beyond the widget's bottom, where it would
        // be cut. The first one, taller than its row, is pushed down by
        // less than half its height, into the pixels the stride spares;
        // the next is pushed by what is left of that, so every label
        // still spans its row's middle.
        const int lowest = out.content.bottom() + 1 - height;
        const int top = std::min(std::max(firstFree, static_cast<int>(std::lround(middle - height / 2.0))), lowest);
        // One moved up onto the label before is left out instead.
        if (top < firstFree)
            continue;
        const QRect place = rotated_ ? QRect(right - metrics.height(), top, metrics.height(), advance)
                                     : QRect(right - advance, top, advance, metrics.height());
        out.labels[row] = place;
        firstFree = place.bottom() + 1 + LABEL_SPACING;
    }
}

void TStackedBarChart::layOutLegend(Layout& out) const
{
    const QFontMetrics metrics(font());
    const int box = std::max(4, metrics.ascent() * 2 / 3);
    const int top = out.content.top();
    int x = out.content.right() + 1;
    // From the right edge leftwards, so the second series ends the line.
    for (int series = 1; series >= 0; --series) {
        const int width = metrics.horizontalAdvance(titles_[series]);
        x -= width;
        out.legendTexts[series] = QRect(x, top, width, metrics.height());
        x -= LABEL_GAP + box;
        out.legendBoxes[series] = QRect(x, top + (metrics.height() - box) / 2, box, box);
        x -= LEGEND_GAP;
    }
    out.legend = out.legendBoxes[0] | out.legendTexts[0] | out.legendBoxes[1] | out.legendTexts[1];
}

double TStackedBarChart::xFor(const Layout& at, double value) const
{
    return at.plot.left() + value / scale_.maximum * at.plot.width();
}

QRectF TStackedBarChart::plotRect() const
{
    return layout().plot;
}

double TStackedBarChart::rowHeight() const
{
    return layout().rowHeight;
}

QRectF TStackedBarChart::barRect(int row, int series) const
{
    if (row < 0 || row >= static_cast<int>(rows_.size()) || series < 0 || series > 1)
        return {};
    const Layout& at = layout();
    const ChartRow& values = rows_[static_cast<std::size_t>(row)];
    const double start = series == 0 ? 0 : clampedValue(values.first);
    const double end = start + clampedValue(series == 0 ? values.first : values.second);
    const double thickness = at.rowHeight * BAR_SHARE;
    const double top = at.plot.top() + row * at.rowHeight + (at.rowHeight - thickness) / 2;
    const double left = xFor(at, start);
    return {left, top, xFor(at, end) - left, thickness};
}

QRect TStackedBarChart::labelRect(int row) const
{
    const Layout& at = layout();
    if (row < 0 || row >= static_cast<int>(at.labels.size()))
        return {};
    return at.labels[static_cast<std::size_t>(row)];
}

QRect TStackedBarChart::legendRect() const
{
    return layout().legend;
}

void TStackedBarChart::paintEvent(QPaintEvent*)
{
    const Layout& at = layout();
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const QBrush base = palette().base();
    qDrawShadePanel(&painter, at.frame, palette(), true, 1, &base);
    painter.setClipRect(at.frame.adjusted(1, 1, -1, -1));
    paintGrid(painter, at);
    paintBars(painter, at);
    paintAxis(painter, at);
    painter.setPen(palette().color(QPalette::Text));
    paintLabels(painter, at);
    paintLegend(painter, at);
}

void TStackedBarChart::paintGrid(QPainter& painter, const Layout& at) const
{
    painter.setPen(QPen(palette().color(QPalette::Mid), 0, Qt::DotLine));
    for (std::size_t index = 1; index < at.ticks.size(); ++index)
        painter.drawLine(QPointF(at.ticks[index].x, at.plot.top()), QPointF(at.ticks[index].x, at.plot.bottom()));
}

void TStackedBarChart::paintBars(QPainter& painter, const Layout&) const
{
    for (int row = 0; row < static_cast<int>(rows_.size()); ++row) {
        for (int series = 0; series < 2; ++series) {
            const QRectF bar = barRect(row, series);
            if (bar.width() <= 0)
                continue;
            painter.setPen(outlines_[static_cast<std::size_t>(series)]);
            painter.setBrush(fills_[static_cast<std::size_t>(series)]);
            painter.drawRect(bar);
        }
    }
}

void TStackedBarChart::paintAxis(QPainter& painter, const Layout& at) const
{
    painter.setPen(QPen(palette().color(QPalette::Text), 0));
    painter.drawLine(at.plot.topLeft(), at.plot.topRight());
    painter.drawLine(at.plot.topLeft(), at.plot.bottomLeft());
    for (const Tick& tick : at.ticks) {
        painter.drawLine(QPointF(tick.x, at.plot.top() - TICK_LENGTH), QPointF(tick.x, at.plot.top()));
        painter.drawText(tick.textRect, Qt::AlignCenter, tick.text);
    }
}

void TStackedBarChart::paintLabels(QPainter& painter, const Layout& at) const
{
    for (std::size_t row = 0; row < at.labels.size(); ++row) {
        const QRect& place = at.labels[row];
        if (place.isEmpty())
            continue;
        if (!rotated_) {
            painter.drawText(place, Qt::AlignRight | Qt::AlignVCenter, rows_[row].label);
            continue;
        }
        // Turned a quarter counter-clockwise about the place's bottom-left
        // corner, the text reads upwards and fills the place exactly.
        painter.save();
        painter.translate(place.left(), place.top() + place.height());
        painter.rotate(-90);
        painter.drawText(QRect(0, 0, place.height(), place.width()), Qt::AlignCenter, rows_[row].label);
        painter.restore();
    }
}

void TStackedBarChart::paintLegend(QPainter& painter, const Layout& at) const
{
    for (std::size_t series = 0; series < 2; ++series) {
        painter.setPen(QPen(palette().color(QPalette::Text), 0));
        painter.setBrush(colors_[series]);
        painter.drawRect(at.legendBoxes[series].adjusted(0, 0, -1, -1));
        painter.drawText(at.legendTexts[series], Qt::AlignLeft | Qt::AlignVCenter, titles_[series]);
    }
}
