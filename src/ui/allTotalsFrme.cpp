#include "ui/allTotalsFrme.h"

#include "model/budgetwatch.h"
#include "model/datamodel.h"
#include "model/todaytot.h"
#include "model/viewformat.h"
#include "ui/budgetForm.h"
#include "ui/budgetFrame.h"
#include "ui/totalsFrame.h"

#include <QFrame>
#include <QVBoxLayout>

#include <cmath>

namespace {

TtotalsTableFrame* newTable(QWidget* parent, const char* name, int top, int height)
{
    auto* table = new TtotalsTableFrame(parent);
    table->setObjectName(name);
    table->setGeometry(4, top, 281, height);
    return table;
}

} // namespace

TAllTotalsFrame::TAllTotalsFrame(QWidget* parent) : TBasicFrame(parent)
{
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    auto* fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(Panel1);
    todayFTotals = newTable(Panel1, "todayFTotals", 7, 120);
    weekFTotals = newTable(Panel1, "weekFTotals", 126, 117);
    monthFTotals = newTable(Panel1, "monthFTotals", 243, 117);
    // Level with the tables' group boxes, which lie 6 px inside their frames.
    gbBudget = new TBudgetFrame(Panel1);
    gbBudget->move(291, 13);
    gbBudget->onSetBudget = [this] { setBudget(); };
}

void TAllTotalsFrame::setBudget()
{
    const auto* byName = dynamic_cast<const RecordFilter_byConnectionName*>(filter);
    if (!byName || !runBudgetDialog(byName->getConnectionName(), this))
        return;
    if (budgetsChanged)
        budgetsChanged();
    updateTotals();
}

void TAllTotalsFrame::init(LogRecords* records, RecordFilter* filter, TodayTotals* todayTotals,
                           SharedStatisticsReader* sharedStat)
{
    TBasicFrame::init(records, filter, todayTotals, sharedStat);
    updateTotals();
}

void TAllTotalsFrame::updateTotals()
{
    const TDateTime today = std::floor(Now());
    // The running quantum is not in the log yet: it counts in every period.
    const Total4Period live = todayTotals->liveTotal(*filter, *sharedStat);

    todayFTotals->showTotals(records->totalFor(today, 1, *filter) + live, "today");

    const TDateTime weekStart = periodStartOf(PeriodView::Week, today);
    weekFTotals->showTotals(records->totalFor(weekStart, 7, *filter) + live,
                            FormatDateTime("dd/mm - ", weekStart) + FormatDateTime("dd/mm/yy", weekStart + 6));

    const TDateTime monthStart = periodStartOf(PeriodView::Month, today);
    monthFTotals->showTotals(records->totalFor(monthStart, daysInMonthOf(monthStart), *filter) + live,
                             FormatDateTime("mmmm, yyyy", monthStart));

    const auto* byName = dynamic_cast<const RecordFilter_byConnectionName*>(filter);
    if (budgets && byName) {
        const std::string& name = byName->getConnectionName();
        gbBudget->showBudget(budgets->budgetOf(name), budgets->figuresOf(name, *sharedStat, Now()));
    } else {
        gbBudget->showBudget(std::nullopt, std::nullopt);
    }
}
