// The Totals tab: today, the week from Sunday and the calendar month, each
// with the running quantum of the connection added.
#include "fakes/live_table.h"
#include "log/conlogger.h"
#include "model/budgetstore.h"
#include "model/budgetwatch.h"
#include "ui/allTotalsFrme.h"
#include "ui/budgetFrame.h"
#include "ui/framemodel.h"
#include "ui/totalsFrame.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

constexpr std::uint64_t Mb = FrameModel::Mb;

class AllTotals : public ::testing::Test {
protected:
    LiveTable live; // before the model's reader, which looks for it
    FrameModel model;
    TAllTotalsFrame frame;

    void TearDown() override { ClearFixedNow(); }
    void openOn(TDateTime now)
    {
        SetFixedNow(now);
        model.todayTotals.update(false); // starts over on the fixed day
        model.init(frame);
    }
};

} // namespace

TEST_F(AllTotals, runs_the_week_from_sunday_to_saturday_whatever_day_today_is)
{
    openOn(EncodeDate(2026, 12, 6) + 0.5); // a Sunday
    EXPECT_EQ(frame.weekFTotals->GroupBox->title(), " Totals: 06/12 - 12/12/26 ");
    openOn(EncodeDate(2026, 12, 12) + 0.5); // the Saturday after it
    EXPECT_EQ(frame.weekFTotals->GroupBox->title(), " Totals: 06/12 - 12/12/26 ");
    EXPECT_EQ(frame.todayFTotals->GroupBox->title(), " Totals: today ");
    EXPECT_EQ(frame.monthFTotals->GroupBox->title(), " Totals: December, 2026 ");
}

TEST_F(AllTotals, counts_the_29th_of_a_leap_february_in_the_month_and_nothing_of_march)
{
    model.add("eth0", EncodeDate(2028, 2, 29) + 0.9, EncodeDate(2028, 2, 29) + 0.95, 3 * Mb, 0);
    model.add("eth0", EncodeDate(2028, 3, 1), EncodeDate(2028, 3, 1) + 0.01, 50 * Mb, 0);
    model.add("eth0", EncodeDate(2028, 1, 31) + 0.99, EncodeDate(2028, 2, 1), 70 * Mb, 0);
    openOn(EncodeDate(2028, 2, 10) + 0.5);
    EXPECT_EQ(frame.monthFTotals->lbTrafficU->text(), "3.0 Mb");
    EXPECT_EQ(frame.monthFTotals->GroupBox->title(), " Totals: February, 2028 ");
}

TEST_F(AllTotals, adds_the_live_quantum_to_all_three_totals_and_prices_it)
{
    const TDateTime today = EncodeDate(2026, 12, 8);
    const int eth0 = model.filter.getConnectionId();
    model.history.prices.setPrice(eth0, today - 40, 1.0, 2.0);
    model.add("eth0", today + 0.25, today + 0.3, Mb, Mb);         // today
    model.add("eth0", today - 2 + 0.25, today - 2 + 0.3, Mb, 0);  // Sunday this week
    model.add("eth0", today - 7 + 0.25, today - 7 + 0.3, Mb, 0);  // last week, this month
    model.add("wlan0", today + 0.25, today + 0.3, 9 * Mb, 9 * Mb); // another connection
    live.rows({{"eth0", Mb / 2, Mb, 0, 0}, {"wlan0", 5 * Mb, 0, 0, 0}});
    model.sharedStat.refresh();
    openOn(today + 0.5);

    EXPECT_EQ(frame.todayFTotals->lbTrafficU->text(), "1.5 Mb");
    EXPECT_EQ(frame.todayFTotals->lbTrafficD->text(), "2.0 Mb");
    EXPECT_EQ(frame.todayFTotals->lbCostsT->text(), "5.50");
    EXPECT_EQ(frame.weekFTotals->lbTrafficU->text(), "2.5 Mb");
    EXPECT_EQ(frame.monthFTotals->lbTrafficU->text(), "3.5 Mb");
    EXPECT_EQ(frame.monthFTotals->lbTrafficT->text(), "5.5 Mb");
}

TEST_F(AllTotals, shows_question_marks_for_costs_of_unpriced_traffic_and_recomputes_on_price_changes)
{
    const TDateTime today = EncodeDate(2026, 12, 8);
    model.add("eth0", today + 0.25, today + 0.3, 2 * Mb, 0);
    openOn(today + 0.5);
    EXPECT_EQ(frame.todayFTotals->lbTrafficU->text(), "2.0 Mb");
    EXPECT_EQ(frame.todayFTotals->lbCostsU->text(), "?");
    EXPECT_EQ(frame.monthFTotals->lbCostsT->text(), "?");

    model.history.prices.setPrice(model.filter.getConnectionId(), today, 0.5, 0);
    frame.pricesChanged();
    EXPECT_EQ(frame.todayFTotals->lbCostsU->text(), "1.00");
    EXPECT_EQ(frame.monthFTotals->lbCostsT->text(), "1.00");
}

TEST_F(AllTotals, shows_the_selected_connection_s_budget_beside_the_totals_and_no_budget_set_without_one)
{
    testenv::ScopedEnv config("XDG_CONFIG_HOME", testenv::freshFolder("config").c_str());
    testenv::ScopedEnv c("LC_TIME", "C");
    BudgetStore().setBudget("eth0", Budget{100.0, 40.0, 5});
    const TDateTime today = EncodeDate(2026, 12, 9);
    ConnectionLogger(nullptr, model.logFile).logLANConnection("eth0", today, today + 0.01, 85 * Mb, 0);
    BudgetWatch watch(model.logFile, &model.history.prices, &model.history.entryNames);
    watch.reload(today + 0.5);
    frame.budgets = &watch;
    openOn(today + 0.5);

    const TBudgetFrame& budget = *frame.gbBudget;
    EXPECT_TRUE(budget.lbNoBudget->isHidden());
    EXPECT_EQ(budget.lbPeriod->text(), "5 Dec 2026 - 4 Jan 2027");
    EXPECT_EQ(budget.lbCounted->text(), "Both directions");
    EXPECT_EQ(budget.pbTraffic->value(), 85);
    EXPECT_EQ(budget.pbTraffic->palette().color(QPalette::Highlight), QColor(230, 140, 0));
    EXPECT_EQ(budget.lbUsedTraffic->text(), "85 MB");
    EXPECT_EQ(budget.lbCapTraffic->text(), "100 MB");
    EXPECT_EQ(budget.lbUsedMoney->text(), "?"); // no price
    EXPECT_TRUE(budget.pbMoney->isHidden());
    EXPECT_EQ(budget.lbProjectedTraffic->text(), "586 MB"); // 85 MB in 4.5 of 31 days
    EXPECT_EQ(budget.lbLeftTraffic->text(), "0.6 MB"); // 15 MB over 27 days, today's included
    EXPECT_EQ(budget.btnSetBudget->text(), "Set Budget...");

    model.filter.setConnectionId(model.history.entryNames.idOf("wlan0"));
    frame.filterChanged();
    EXPECT_FALSE(budget.lbNoBudget->isHidden());
    EXPECT_EQ(budget.lbNoBudget->text(), "No budget set");
    EXPECT_TRUE(budget.lbPeriod->isHidden());
    EXPECT_FALSE(budget.btnSetBudget->isHidden());
}
