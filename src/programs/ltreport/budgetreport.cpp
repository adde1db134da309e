#include "programs/ltreport/budgetreport.h"

#include "errors/ltexception.h"
#include "model/budgetstore.h"
#include "model/budgetwatch.h"
#include "model/viewformat.h"

#include <algorithm>
#include <cmath>

namespace {

nlohmann::ordered_json figureJson(const std::optional<double>& value)
{
    return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

Total4Period usedIn(const History& history, const std::string& connection, const BudgetPeriod& period, TDateTime now,
                    const SharedStatisticsReader& live)
{
    const int id = history.entryNames.findId(connection);
    if (id < 0)
        return {}; // neither the log nor the live table knows it yet
    // RecordFilter_byConnectionName only reads the names it is given.
    const RecordFilter_byConnectionName filter(const_cast<DataList*>(&history.entryNames), id);
    return budgetUsed(history.records.totalFor(period.start, period.end - period.start, filter), period, now, filter,
                      live, history.prices, history.entryNames);
}

} // namespace

BudgetReport budgetReport(const History& history, const BudgetStore& store, const std::vector<std::string>& connections,
                          TDateTime date, TDateTime now, const SharedStatisticsReader& live)
{
    BudgetReport report;
    ReportTable& table = report.table;
    table.heading = "Budgets";
    table.columns = {"Connection", "Period", "Counted", "Cap MB", "Cap money", "Used MB", "Used money",
                     "Projected MB", "Projected money", "Left/day MB", "Left/day money", "Level"};
    table.leftAligned = 3;
    for (const std::string& connection : connections) {
        const std::optional<Budget> budget = store.budgetOf(connection);
        if (!budget)
            throw LTException("no budget set for '" + connection + "' (see 'ltreport budget --help')");
        const BudgetPeriod period = budgetPeriodOf(date, budget->billingDay);
        const Total4Period used = usedIn(history, connection, period, now, live);
        const BudgetFigures f = evaluateBudget(*budget, period, used, now);
        report.highestLevel = std::max(report.highestLevel, f.level);
        const std::string first = DateToISO(period.start), last = DateToISO(period.end - 1);
        table.rows.push_back({connection, first + " - " + last, countedName(budget->counted), budgetFigureText(budget->capMb),
                              budgetFigureText(budget->capMoney), budgetFigureText(f.usedMb),
                              costText(f.usedMoney.value_or(0), !f.usedMoney), budgetFigureText(f.projectedMb),
                              budgetFigureText(f.projectedMoney), budgetFigureText(f.leftPerDayMb), budgetFigureText(f.leftPerDayMoney),
                              std::to_string(f.level)});
        nlohmann::ordered_json row;
        row["connection"] = connection;
        row["period_start"] = first;
        row["period_end"] = last;
        row["counted"] = countedName(budget->counted);
        row["cap_mb"] = figureJson(budget->capMb);
        row["cap_money"] = figureJson(budget->capMoney);
        row["used_mb"] = f.usedMb;
        row["used_money"] = figureJson(f.usedMoney);
        row["projected_mb"] = figureJson(f.projectedMb);
        row["projected_money"] = figureJson(f.projectedMoney);
        row["left_per_day_mb"] = figureJson(f.leftPerDayMb);
        row["left_per_day_money"] = figureJson(f.leftPerDayMoney);
        row["level"] = f.level;
        table.jsonRows.push_back(std::move(row));
    }
    table.summary = {{"Highest level", std::to_string(report.highestLevel)}};
    return report;
}

int budgetExitStatus(int highestLevel) { return highestLevel >= 100 ? 4 : highestLevel >= 80 ? 3 : 0; }
