// The totals window's bar chart, laid out and drawn off screen.
#include "ui/stackedbarchart.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>

#include <cstdlib>

namespace {

std::vector<ChartRow> hourRows()
{
    std::vector<ChartRow> rows;
    for (int hour = 0; hour < 24; ++hour)
        rows.push_back({QStringLiteral("%1:00").arg(hour, 2, 10, QLatin1Char('0')), 1.5 * hour, 0.5});
    return rows;
}

std::vector<ChartRow> dayRows()
{
    static const char* const names[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    std::vector<ChartRow> rows;
    for (int day = 1; day <= 31; ++day)
        rows.push_back({QStringLiteral("%1/05, %2").arg(day, 2, 10, QLatin1Char('0')).arg(names[day % 7]), 20.0 * day, 3});
    return rows;
}

class StackedBarChart : public ::testing::Test {
protected:
    TStackedBarChart chart;

    void SetUp() override
    {
        chart.resize(360, 330);
        chart.setRows({{"01/05", 3, 1}, {"02/05", 1, 4}, {"03/05", 0.5, 0}});
    }

    // Every shown label has room for its whole text along its reading
    // direction, no two shown labels share a pixel, and they are evenly
    // spaced from the first row on: none between two shown ones is left out.
    void expectLabelsWholeAndApart(bool rotated)
    {
        const QFontMetrics metrics(chart.font());
        std::vector<QRect> shown;
        std::vector<int> shownRows;
        for (int row = 0; row < static_cast<int>(chart.rows().size()); ++row) {
            const QRect place = chart.labelRect(row);
            if (place.isEmpty())
                continue;
            if (shownRows.size() >= 2) {
                EXPECT_EQ(row - shownRows.back(), shownRows[1] - shownRows[0]) << "row " << row;
            }
            shownRows.push_back(row);
            const int advance = metrics.horizontalAdvance(chart.rows()[static_cast<std::size_t>(row)].label);
            EXPECT_GE(rotated ? place.height() : place.width(), advance) << "row " << row;
            // Not cut by the widget's bottom, not into the value axis above.
            EXPECT_GE(place.top(), chart.plotRect().top()) << "row " << row;
            EXPECT_LT(place.bottom(), chart.height()) << "row " << row;
            for (const QRect& other : shown)
                EXPECT_FALSE(place.intersects(other)) << "row " << row;
            shown.push_back(place);
        }
        ASSERT_GE(shown.size(), 2U);
        EXPECT_EQ(shownRows[0], 0);
    }
};

TEST_F(StackedBarChart, the_value_axis_ends_on_a_round_step_above_the_largest_total)
{
    EXPECT_DOUBLE_EQ(TStackedBarChart::scaleFor(0).maximum, 1);
    EXPECT_DOUBLE_EQ(TStackedBarChart::scaleFor(0).step, 0.2);
    EXPECT_DOUBLE_EQ(TStackedBarChart::scaleFor(7.3).maximum, 8);
    EXPECT_DOUBLE_EQ(TStackedBarChart::scaleFor(7.3).step, 2);
    EXPECT_DOUBLE_EQ(TStackedBarChart::scaleFor(130).maximum, 150);
    EXPECT_DOUBLE_EQ(TStackedBarChart::scaleFor(130).step, 50);
    EXPECT_DOUBLE_EQ(TStackedBarChart::scaleFor(100).maximum, 100);
    EXPECT_DOUBLE_EQ(TStackedBarChart::scaleFor(100).step, 20);
    EXPECT_DOUBLE_EQ(TStackedBarChart::scaleFor(0.03).maximum, 0.03);
    EXPECT_DOUBLE_EQ(TStackedBarChart::scaleFor(0.03).step, 0.01);
}

TEST_F(StackedBarChart, rows_replaced_with_larger_values_rescale_the_axis)
{
    EXPECT_DOUBLE_EQ(chart.valueAxisMaximum(), 5);
    EXPECT_DOUBLE_EQ(chart.tickStep(), 1);
    chart.setRows({{"01/05", 100, 30}});
    EXPECT_DOUBLE_EQ(chart.valueAxisMaximum(), 150);
    EXPECT_DOUBLE_EQ(chart.tickStep(), 50);
    chart.setRows({});
    EXPECT_DOUBLE_EQ(chart.valueAxisMaximum(), 1);
}

TEST_F(StackedBarChart, the_first_row_is_at_the_top)
{
    EXPECT_LT(chart.barRect(0, 0).top(), chart.barRect(1, 0).top());
    EXPECT_LT(chart.barRect(1, 0).top(), chart.barRect(2, 0).top());
}

TEST_F(StackedBarChart, the_second_series_starts_where_the_first_ends)
{
    const QRectF first = chart.barRect(0, 0);
    const QRectF second = chart.barRect(0, 1);
    EXPECT_DOUBLE_EQ(first.left(), chart.plotRect().left());
    EXPECT_DOUBLE_EQ(second.left(), first.right());
    // 3 and 1 of an axis to 5.
    EXPECT_NEAR(second.right() - first.left(), chart.plotRect().width() * 4 / 5, 0.001);
}

TEST_F(StackedBarChart, bars_are_eighty_five_percent_of_the_row_height)
{
    EXPECT_NEAR(chart.barRect(1, 0).height(), 0.85 * chart.plotRect().height() / 3, 1);
    EXPECT_NEAR(chart.barRect(1, 1).height(), 0.85 * chart.rowHeight(), 1);
}

TEST_F(StackedBarChart, rotated_hour_labels_are_whole_apart_and_evenly_spaced)
{
    chart.setRows(hourRows());
    chart.setLabelsRotated(true);
    expectLabelsWholeAndApart(true);
}

TEST_F(StackedBarChart, rotated_day_labels_are_whole_apart_and_evenly_spaced)
{
    chart.setRows(dayRows());
    chart.setLabelsRotated(true);
    for (const QSize size : {QSize(360, 330), QSize(395, 387), QSize(395, 250)}) {
        SCOPED_TRACE(size.height());
        chart.resize(size);
        expectLabelsWholeAndApart(true);
    }
}

TEST_F(StackedBarChart, level_day_labels_are_whole_apart_and_evenly_spaced)
{
    chart.setRows(dayRows());
    expectLabelsWholeAndApart(false);
    EXPECT_LT(chart.labelRect(0).right(), chart.plotRect().left());
}

TEST_F(StackedBarChart, the_legend_covers_no_bar)
{
    chart.setRows(hourRows());
    for (int row = 0; row < 24; ++row) {
        EXPECT_FALSE(QRectF(chart.legendRect()).intersects(chart.barRect(row, 0))) << row;
        EXPECT_FALSE(QRectF(chart.legendRect()).intersects(chart.barRect(row, 1))) << row;
    }
    EXPECT_FALSE(chart.legendRect().isEmpty());
}

TEST_F(StackedBarChart, a_bars_middle_is_painted_in_its_series_colour)
{
    chart.setSeriesColors(QColor(0, 0, 200), QColor(200, 0, 0));
    chart.setOutlineStyle(Qt::DashDotDotLine);
    const QImage image = chart.grab().toImage();
    const QRgb first = image.pixel(chart.barRect(0, 0).center().toPoint());
    const QRgb second = image.pixel(chart.barRect(0, 1).center().toPoint());
    EXPECT_LE(std::abs(qBlue(first) - 200) + qRed(first) + qGreen(first), 12);
    EXPECT_LE(std::abs(qRed(second) - 200) + qBlue(second) + qGreen(second), 12);
}

} // namespace
