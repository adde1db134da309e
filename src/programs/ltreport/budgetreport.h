// ltreport's budget subcommand: each budget's period, what it used, where it
// is heading and what is left a day, as text, CSV or JSON with typed values.
#pragma once

#include "model/datamodel.h"
#include "programs/ltreport/reportformat.h"

#include <string>
#include <vector>

class BudgetStore;
class SharedStatisticsReader;

struct BudgetReport {
    ReportTable table;
    int highestLevel = 0;
};

// The budgets of the connections named (each must have one) for the period
// holding date; the live part counts where now is in that period. A
// connection the log does not know shows no use.
BudgetReport budgetReport(const History& history, const BudgetStore& store, const std::vector<std::string>& connections,
                          TDateTime date, TDateTime now, const SharedStatisticsReader& live);

// The exit status a script acts on: 0 below 80 %, 3 at 80 or 90, 4 at 100.
int budgetExitStatus(int highestLevel);
