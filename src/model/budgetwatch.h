// The monitor's watch over every connection with a budget: the sums of each
// period's logged records, kept up to date from the records appended to the
// log, so that a tick adds only the live part and compares the levels. The
// log is read whole only when the watch (re)loads: at the monitor's start,
// when a budget, the prices or a period change.
#pragma once

#include "model/budget.h"
#include "model/logrecords.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class LogReader;
class SharedStatisticsReader;

// Used in a period: its logged records plus, while the period runs, the
// live part of the running quantum, as today's totals add it.
Total4Period budgetUsed(const Total4Period& logged, const BudgetPeriod& period, TDateTime now,
                        const RecordFilter_byConnectionName& filter, const SharedStatisticsReader& live,
                        const Prices& prices, const DataList& entryNames);

// One budget over the period that holds a moment, with the sum of that
// period's logged records as they are read.
struct BudgetPeriodSum {
    BudgetPeriodSum(std::string connection, const Budget& budget, TDateTime now, DataList& entryNames);

    // A record of the log: summed when it is the connection's and starts in
    // the period.
    void add(std::string_view entryName, TDateTime start, std::uint64_t sent, std::uint64_t received,
             const Prices& prices, DataList& entryNames);
    // The figures at now (nowSeconds: now in seconds since the epoch), the
    // live part included unless told otherwise.
    BudgetFigures figures(const SharedStatisticsReader& live, TDateTime now, double nowSeconds, const Prices& prices,
                          const DataList& entryNames, bool withLive = true) const;

    std::string connection;
    Budget budget;
    BudgetPeriod period;
    // An id below 0 while the log has not named the connection: a name
    // known by its budget only is not added to the names (the monitor's
    // connection menu lists them).
    RecordFilter_byConnectionName filter;
    RealSeconds seconds;                  // the period's bounds
    Total4Period logged;
};

// A level newly reached, to be told.
struct BudgetAlert {
    std::string connection;
    std::string text; // budgetAlertText
    int level = 0;
};

class BudgetWatch {
public:
    BudgetWatch(const std::string& logFileName, Prices* prices, DataList* entryNames);
    ~BudgetWatch();
    BudgetWatch(const BudgetWatch&) = delete;
    BudgetWatch& operator=(const BudgetWatch&) = delete;

    // Reads the budgets and the levels told from the settings, and sums
    // each period holding now from the whole log. Throws LTException when
    // the settings cannot be read; damage in the log is read past, then
    // reported by LTDataCorruptedException.
    void reload(TDateTime now);
    // After a change of the settings (another program's, or the dialog's):
    // reloads when a budget was set, changed or removed, else only takes
    // the levels told.
    void settingsChanged(TDateTime now);
    // One tick: a period that no longer holds now reloads; records the
    // service appended (changed) are added to their periods. After a
    // period's end the live part counts again once the service has written
    // to the log (the running hour of the old period is then logged).
    void update(bool changed, TDateTime now);

    std::optional<Budget> budgetOf(const std::string& connection) const;
    std::optional<BudgetFigures> figuresOf(const std::string& connection, const SharedStatisticsReader& live,
                                           TDateTime now) const;
    // The levels risen above those told, of the budgets that notify; each
    // is marked told in the settings at once. When that write fails, the
    // levels stay told for this run and saveError says why.
    std::vector<BudgetAlert> newAlerts(const SharedStatisticsReader& live, TDateTime now, std::string& saveError);

private:
    struct Watched;
    struct PeriodSums;
    const Watched* find(const std::string& connection) const;
    void readOn();

    std::string logFileName;
    Prices* prices;
    DataList* entryNames;
    std::vector<Watched> watched;
    std::unique_ptr<LogReader> reader;
    bool liveOfOldPeriod = false;
};
