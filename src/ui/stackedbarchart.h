// A chart of two stacked horizontal bar series, one row per period: the
// first row at the top, category labels on the left, the value axis in
// megabytes along the top, the legend above it on the right.
#pragma once

#include <QBrush>
#include <QColor>
#include <QPen>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <array>
#include <vector>

// One period: its label and its two values in megabytes.
struct ChartRow {
    QString label;
    double first = 0;
    double second = 0;
};

// The value axis' extent and the distance between its ticks.
struct AxisScale {
    double maximum = 1;
    double step = 0.2;
};

class TStackedBarChart : public QWidget {
    Q_OBJECT
public:
    explicit TStackedBarChart(QWidget* parent = nullptr);

    // Replaces the rows and rescales the value axis to them.
    void setRows(std::vector<ChartRow> rows);
    const std::vector<ChartRow>& rows() const { return rows_; }
    void setSeriesTitles(const QString& first, const QString& second);
    void setSeriesColors(const QColor& first, const QColor& second);
    // Turns the category labels 90 degrees, reading bottom to top.
    void setLabelsRotated(bool rotated);
    // The bars' outline; Qt::NoPen (the default) draws none.
    void setOutlineStyle(Qt::PenStyle style);

    // The smallest round scale (steps of 1, 2 or 5 times a power of ten,
    // at most five of them) reaching largest; 0..1 when largest is 0.
    static AxisScale scaleFor(double largest);

    double valueAxisMaximum() const { return scale_.maximum; }
    double tickStep() const { return scale_.step; }
    // Geometry in widget coordinates at the current size. series is 0 for
    // the first series, 1 for the second; an empty rect for no such bar.
    QRectF plotRect() const;
    double rowHeight() const;
    QRectF barRect(int row, int series) const;
    // Empty when the label is skipped to keep its neighbours readable.
    QRect labelRect(int row) const;
    QRect legendRect() const;

    QSize sizeHint() const override { return {360, 330}; }
    QSize minimumSizeHint() const override { return {120, 100}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Tick {
        double x = 0;
        QString text;
        QRect textRect;
    };
    // Everything painting needs, worked out once per size, font or data.
    struct Layout {
        bool valid = false;
        QSize size;
        QRect frame;
        QRect content;
        QRectF plot;
        double rowHeight = 0;
        std::vector<QRect> labels;
        std::vector<Tick> ticks;
        std::array<QRect, 2> legendBoxes;
        std::array<QRect, 2> legendTexts;
        QRect legend;
    };

    const Layout& layout() const;
    void invalidate();
    void layOutTicks(Layout& out) const;
    void layOutLabels(Layout& out) const;
    void layOutLegend(Layout& out) const;
    double xFor(const Layout& at, double value) const;
    void updateStyles();

    void paintGrid(QPainter& painter, const Layout& at) const;
    void paintBars(QPainter& painter, const Layout& at) const;
    void paintAxis(QPainter& painter, const Layout& at) const;
    void paintLabels(QPainter& painter, const Layout& at) const;
    void paintLegend(QPainter& painter, const Layout& at) const;

    std::vector<ChartRow> rows_;
    AxisScale scale_;
    std::array<QString, 2> titles_{QStringLiteral("Received"), QStringLiteral("Sent")};
    std::array<QColor, 2> colors_{QColor(0x00, 0x80, 0x00), QColor(0xC0, 0x00, 0x00)};
    std::array<QBrush, 2> fills_;
    std::array<QPen, 2> outlines_;
    Qt::PenStyle outlineStyle_ = Qt::NoPen;
    bool rotated_ = false;
    // A cache of the geometry, rebuilt lazily so that queries made before
    // the first paint see the same layout the paint will use.
    mutable Layout layout_;
};
