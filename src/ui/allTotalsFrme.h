// The Totals tab: today's, this week's and this month's totals of the
// selected connection, the live traffic included, and to their right its
// budget.
#pragma once

#include "ui/basicFrme.h"

#include <functional>

class BudgetWatch;
class QFrame;
class TBudgetFrame;
class TtotalsTableFrame;

class TAllTotalsFrame : public TBasicFrame {
    Q_OBJECT
public:
    explicit TAllTotalsFrame(QWidget* parent = nullptr);

    void init(LogRecords* records, RecordFilter* filter, TodayTotals* todayTotals,
              SharedStatisticsReader* sharedStat) override;
    void filterChanged() override { updateTotals(); }
    void pricesChanged() override { updateTotals(); }
    void updateTotals();

    QFrame* Panel1;
    TtotalsTableFrame* todayFTotals;
    TtotalsTableFrame* weekFTotals;
    TtotalsTableFrame* monthFTotals;
    TBudgetFrame* gbBudget;

    // The meter's watch over the budgets (none: no budget is shown), and
    // what makes it read them again after the dialog changed one.
    BudgetWatch* budgets = nullptr;
    std::function<void()> budgetsChanged;

private:
    void setBudget();
};
