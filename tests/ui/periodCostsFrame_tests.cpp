// The Day, Week, Month and Year tabs over a log of the test's own, on a
// fixed clock: Wednesday, 18 March 2026, 14:24.
#include "framemodel.h"

#include "ui/hourCosts.h"
#include "ui/monthCostsFrme.h"
#include "ui/stackedbarchart.h"
#include "ui/totalsFrame.h"
#include "ui/weekCostsFrme.h"
#include "ui/yearCostsFrme.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QBrush>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

constexpr std::uint64_t Mb = FrameModel::Mb;

// A tab shown over the model, its list's model checked throughout.
template <class Frame> struct Tab {
    explicit Tab(FrameModel& model)
    {
        frame.show();
        model.init(frame);
    }
    Frame frame;
    QTableView* list = frame.template findChild<QTableView*>("lvTotals");
    QAbstractItemModelTester tester{list->model(), QAbstractItemModelTester::FailureReportingMode::Fatal};
    QDateEdit* picker = frame.template findChild<QDateEdit*>("dtpDay");

    int rows() const { return list->model()->rowCount(); }
    QString cell(int row, int column) const { return list->model()->index(row, column).data().toString(); }
    QString title() const { return frame.totalsTableFrame->GroupBox->title(); }
    const std::vector<ChartRow>& bars() const { return frame.template findChild<TStackedBarChart*>("chart")->rows(); }
    void click(const char* button) { QTest::mouseClick(frame.template findChild<QToolButton*>(button), Qt::LeftButton); }
};

class PeriodFrames : public ::testing::Test {
protected:
    FrameModel model;
    const TDateTime wednesday = EncodeDate(2026, 3, 18);
    std::string previousTimeLocale = std::setlocale(LC_TIME, nullptr);

    // Day and month names and the date separator of the C locale.
    void SetUp() override
    {
        std::setlocale(LC_TIME, "C");
        SetFixedNow(wednesday + 0.6);
    }
    void TearDown() override
    {
        ClearFixedNow();
        std::setlocale(LC_TIME, previousTimeLocale.c_str());
    }
};

TEST_F(PeriodFrames, day_tab_labels_the_hours_and_charts_received_before_sent_from_the_top)
{
    model.add("eth0", wednesday + 13.0 / 24, wednesday + 13.5 / 24, Mb / 4, 3 * Mb / 2);
    Tab<THourCostsFrame> day(model);
    ASSERT_EQ(day.rows(), 24);
    EXPECT_EQ(day.cell(0, 0), "00.00");
    EXPECT_EQ(day.cell(23, 0), "23.00");
    EXPECT_EQ(day.cell(13, 1), "0.25");
    EXPECT_EQ(day.cell(13, 2), "1.50");
    EXPECT_EQ(day.title(), " Totals: 18/03/2026 ");
    EXPECT_EQ(day.picker->date(), QDate(2026, 3, 18));

    ASSERT_EQ(day.bars().size(), 24U);
    EXPECT_EQ(day.bars()[0].label, "00:00");
    EXPECT_EQ(day.bars()[13].label, "13:00");
    EXPECT_EQ(day.bars()[13].first, 1.5);
    EXPECT_EQ(day.bars()[13].second, 0.25);
    EXPECT_EQ(day.bars()[12].first, 0);
}

TEST_F(PeriodFrames, a_picked_wednesday_shows_sunday_to_saturday_and_moves_the_picker_to_that_sunday)
{
    Tab<TWeekCostsFrame> week(model);
    QSignalSpy resets(week.list->model(), &QAbstractItemModel::modelReset);
    week.picker->setDate(QDate(2026, 3, 25));
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(week.picker->date(), QDate(2026, 3, 22));
    ASSERT_EQ(week.rows(), 7);
    EXPECT_EQ(week.cell(0, 0), "22/03, Sun");
    EXPECT_EQ(week.cell(6, 0), "28/03, Sat");
    EXPECT_EQ(week.bars()[1].label, "23.03, Mon");
    EXPECT_EQ(week.title(), " Totals: 22/03 - 28/03/2026 ");

    week.click("ToolButton1");
    EXPECT_EQ(week.picker->date(), QDate(2026, 3, 15));
    EXPECT_EQ(week.cell(0, 0), "15/03, Sun");
}

TEST_F(PeriodFrames, a_typed_date_shows_its_week_once_it_is_entered)
{
    Tab<TWeekCostsFrame> week(model);
    week.picker->setFocus();
    week.picker->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClicks(week.picker, "02");
    EXPECT_EQ(week.cell(0, 0), "15/03, Sun");
    QTest::keyClick(week.picker, Qt::Key_Enter);
    EXPECT_EQ(week.picker->date(), QDate(2026, 3, 1));
    EXPECT_EQ(week.cell(0, 0), "01/03, Sun");
}

TEST_F(PeriodFrames, next_steps_from_a_date_still_being_typed_and_the_calendar_starts_its_weeks_on_sunday)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); // weeks from Monday
    Tab<TWeekCostsFrame> week(model);
    QLocale::setDefault(previous);
    EXPECT_EQ(week.picker->calendarWidget()->firstDayOfWeek(), Qt::Sunday);

    week.picker->setFocus();
    week.picker->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClicks(week.picker, "02");
    week.click("ToolButton2");
    EXPECT_EQ(week.picker->date(), QDate(2026, 3, 8));
    EXPECT_EQ(week.cell(0, 0), "08/03, Sun");
}

TEST_F(PeriodFrames, january_31st_shows_january_and_next_shows_a_leap_february)
{
    SetFixedNow(EncodeDate(2028, 1, 31) + 0.5);
    Tab<TmonthCostsFrame> month(model);
    EXPECT_EQ(month.picker->date(), QDate(2028, 1, 1));
    EXPECT_EQ(month.rows(), 31);
    EXPECT_EQ(month.title(), " Totals: January, 2028 ");

    month.click("ToolButton2");
    EXPECT_EQ(month.picker->date(), QDate(2028, 2, 1));
    EXPECT_EQ(month.rows(), 29);
    EXPECT_EQ(month.cell(28, 0), "29/02, Tue");
    EXPECT_EQ(month.bars()[28].label, "29/02, Tue");

    month.click("ToolButton1");
    month.click("ToolButton1");
    EXPECT_EQ(month.picker->date(), QDate(2027, 12, 1));
    EXPECT_EQ(month.rows(), 31);
}

TEST_F(PeriodFrames, year_tab_names_its_twelve_rows_by_month)
{
    model.add("eth0", EncodeDate(2026, 12, 31) + 0.9, EncodeDate(2026, 12, 31) + 0.95, Mb, 0);
    Tab<TYearCostsFrame> year(model);
    ASSERT_EQ(year.rows(), 12);
    EXPECT_EQ(year.cell(0, 0), "January");
    EXPECT_EQ(year.cell(11, 0), "December");
    EXPECT_EQ(year.cell(11, 1), "1.00");
    EXPECT_EQ(year.bars()[11].label, "Dec");
    EXPECT_EQ(year.title(), " Totals: Year 2026 ");
    EXPECT_EQ(year.picker->date(), QDate(2026, 1, 1));

    year.click("ToolButton1");
    EXPECT_EQ(year.title(), " Totals: Year 2025 ");
    EXPECT_EQ(year.cell(11, 1), "-");
}

TEST_F(PeriodFrames, pickers_and_arrows_stop_at_the_days_the_log_can_hold)
{
    SetFixedNow(EncodeDate(2299, 6, 1));
    Tab<TYearCostsFrame> year(model);
    QAction* next = year.frame.findChild<QAction*>("actNext");
    QAction* previous = year.frame.findChild<QAction*>("actPred");
    EXPECT_FALSE(next->isEnabled());
    EXPECT_TRUE(previous->isEnabled());
    year.click("ToolButton2");
    EXPECT_EQ(year.title(), " Totals: Year 2299 ");
    EXPECT_EQ(year.picker->maximumDate(), QDate(2299, 12, 31));

    year.picker->setDate(QDate(1950, 7, 1));
    EXPECT_EQ(year.title(), " Totals: Year 1950 ");
    EXPECT_FALSE(previous->isEnabled());
    EXPECT_TRUE(next->isEnabled());
    year.picker->setDate(QDate(1751, 1, 1)); // clamped by the picker
    EXPECT_EQ(year.title(), " Totals: Year 1950 ");

    Tab<TWeekCostsFrame> week(model); // 1950-01-01, a Sunday, starts the first week
    week.picker->setDate(QDate(1950, 1, 3));
    EXPECT_EQ(week.picker->date(), QDate(1950, 1, 1));
    EXPECT_FALSE(week.frame.findChild<QAction*>("actPred")->isEnabled());
}

TEST_F(PeriodFrames, widen_their_value_columns_to_the_widest_value)
{
    for (int hour = 0; hour < 24 * 31; ++hour) // 20,000 MB an hour for a month
        model.add("eth0", EncodeDate(2026, 3, 1) + hour / 24.0, EncodeDate(2026, 3, 1) + (hour + 0.9) / 24.0,
                  20000 * Mb, 20000 * Mb);
    Tab<TYearCostsFrame> year(model);
    EXPECT_EQ(year.cell(2, 1), "14880000.00");
    QHeaderView* header = year.list->horizontalHeader();
    for (int column = 1; column < year.list->model()->columnCount(); ++column)
        EXPECT_GE(header->sectionSize(column), static_cast<QAbstractItemView*>(year.list)->sizeHintForColumn(column))
            << column;
}

TEST_F(PeriodFrames, rows_show_dashes_without_traffic_and_a_question_mark_until_priced)
{
    const int eth0 = model.history.entryNames.idOf("eth0");
    model.history.prices.setPrice(eth0, EncodeDate(2026, 3, 17), 2, 1);
    model.add("eth0", EncodeDate(2026, 3, 16) + 0.5, EncodeDate(2026, 3, 16) + 0.6, Mb, 2 * Mb);
    model.add("eth0", EncodeDate(2026, 3, 17) + 0.5, EncodeDate(2026, 3, 17) + 0.6, Mb, 2 * Mb);
    Tab<TWeekCostsFrame> week(model);

    EXPECT_EQ(week.cell(0, 1), "-");
    EXPECT_EQ(week.cell(0, 2), "-");
    EXPECT_EQ(week.cell(0, 3), "-");
    EXPECT_EQ(week.cell(1, 1), "1.00");
    EXPECT_EQ(week.cell(1, 2), "2.00");
    EXPECT_EQ(week.cell(1, 3), "?");
    EXPECT_EQ(week.cell(2, 3), "4.00");
    EXPECT_EQ(week.frame.totalsTableFrame->lbCostsT->text(), "?");
    EXPECT_EQ(week.frame.totalsTableFrame->lbTrafficT->text(), "6.0 Mb");

    model.history.prices.setPrice(eth0, EncodeDate(2026, 3, 16), 1, 1);
    week.frame.pricesChanged();
    EXPECT_EQ(week.cell(1, 3), "3.00");
    EXPECT_EQ(week.frame.totalsTableFrame->lbCostsT->text(), "7.00");

    const QAbstractItemModel* rows = week.list->model();
    EXPECT_FALSE(rows->index(0, 0).data(Qt::BackgroundRole).isValid());
    EXPECT_EQ(rows->index(1, 3).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(0xE4, 0xE3, 0xFF));
    EXPECT_EQ(rows->headerData(2, Qt::Horizontal).toString(), "Rcved MB");
    EXPECT_EQ(rows->index(0, 0).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    EXPECT_EQ(rows->headerData(3, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
}

TEST_F(PeriodFrames, another_connection_recomputes_the_same_period_for_it)
{
    model.add("eth0", wednesday - 1 + 0.25, wednesday - 1 + 0.3, Mb, Mb);
    model.add("ppp0", wednesday - 1 + 0.25, wednesday - 1 + 0.3, 3 * Mb, 0);
    Tab<THourCostsFrame> day(model);
    day.click("ToolButton1");
    EXPECT_EQ(day.cell(6, 1), "1.00");

    model.filter.setConnectionId(model.history.entryNames.idOf("ppp0"));
    day.frame.filterChanged();
    EXPECT_EQ(day.picker->date(), QDate(2026, 3, 17));
    EXPECT_EQ(day.cell(6, 1), "3.00");
    EXPECT_EQ(day.cell(6, 2), "-");
}

TEST_F(PeriodFrames, columns_open_at_their_widths_and_the_first_keeps_its_minimum)
{
    Tab<TWeekCostsFrame> week(model);
    QHeaderView* header = week.list->horizontalHeader();
    EXPECT_EQ(header->sectionSize(0), 87);
    EXPECT_EQ(header->sectionSize(3), 42);
    header->resizeSection(0, 20);
    EXPECT_EQ(header->sectionSize(0), 80);
    header->resizeSection(1, 30);
    EXPECT_EQ(header->sectionSize(1), 30);
    week.click("ToolButton2");
    EXPECT_EQ(header->sectionSize(0), 80);
}

TEST_F(PeriodFrames, day_tab_lays_out_its_toolbar_and_totals_panel)
{
    Tab<THourCostsFrame> day(model);
    EXPECT_EQ(day.frame.template findChild<QToolBar*>("ToolBar1")->height(), 24);
    EXPECT_EQ(day.frame.template findChild<QToolButton*>("ToolButton2")->size(), QSize(20, 18));
    EXPECT_EQ(day.frame.template findChild<QWidget*>("Panel3")->width(), 299);
    EXPECT_EQ(day.frame.template findChild<QWidget*>("totalsTableFrame")->height(), 121);
    const QAction* previous = day.frame.template findChild<QObject*>("ActionList")->findChild<QAction*>("actPred");
    EXPECT_EQ(previous->text(), "Previous Day");
    EXPECT_EQ(previous->toolTip(), "Previous Day");
}

} // namespace
