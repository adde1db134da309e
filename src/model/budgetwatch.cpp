#include "model/budgetwatch.h"

#include "errors/ltexception.h"
#include "log/logreader.h"
#include "model/budgetstore.h"
#include "model/startup.h"
#include "model/todaytot.h"

#include <algorithm>
#include <cmath>

struct BudgetWatch::Watched : BudgetPeriodSum {
    Watched(BudgetPeriodSum sum, int told) : BudgetPeriodSum(std::move(sum)), told(told) {}
    int told = 0;
};

// Hands each record read to the period of its connection's budget.
struct BudgetWatch::PeriodSums {
    std::vector<Watched>* watched;
    const Prices* prices;
    DataList* entryNames;

    void add(unsigned char, std::string_view entryName, std::string_view, std::string_view, std::string_view,
             std::string_view, TDateTime start, TDateTime, std::uint64_t sent, std::uint64_t received) const
    {
        for (Watched& w : *watched)
            w.add(entryName, start, sent, received, *prices, *entryNames);
    }
    void sortByStart() const {}
};

Total4Period budgetUsed(const Total4Period& logged, const BudgetPeriod& period, TDateTime now,
                        const RecordFilter_byConnectionName& filter, const SharedStatisticsReader& live,
                        const Prices& prices, const DataList& entryNames)
{
    // A connection not known yet has no row in the live table either.
    if (now < period.start || now >= period.end || filter.getConnectionId() < 0)
        return logged;
    return logged + TodayTotals::liveTotalOn(std::floor(now), filter, live, prices, entryNames);
}

BudgetPeriodSum::BudgetPeriodSum(std::string connection, const Budget& budget, TDateTime now, DataList& entryNames)
    : connection(std::move(connection)), budget(budget), period(budgetPeriodOf(now, budget.billingDay)),
      filter(&entryNames, entryNames.findId(this->connection)), seconds(realSecondsOf(period, now))
{
    logged.start = period.start;
}

void BudgetPeriodSum::add(std::string_view entryName, TDateTime start, std::uint64_t sent, std::uint64_t received,
                          const Prices& prices, DataList& entryNames)
{
    if (connection != entryName || start < period.start || start >= period.end)
        return;
    if (filter.getConnectionId() < 0) // a name of the log, as the start-up reads them
        filter.setConnectionId(entryNames.idOf(entryName));
    logged.addRecord(prices, filter.getConnectionId(), start, sent, received);
}

BudgetFigures BudgetPeriodSum::figures(const SharedStatisticsReader& live, TDateTime now, double nowSeconds,
                                       const Prices& prices, const DataList& entryNames, bool withLive) const
{
    // A connection that only the live table knows is found by its name.
    RecordFilter_byConnectionName named = filter;
    if (named.getConnectionId() < 0)
        named.setConnectionId(entryNames.findId(connection));
    const Total4Period used = withLive ? budgetUsed(logged, period, now, named, live, prices, entryNames) : logged;
    RealSeconds at = seconds;
    at.now = nowSeconds;
    return evaluateBudget(budget, period, used, now, at);
}

BudgetWatch::BudgetWatch(const std::string& logFileName, Prices* prices, DataList* entryNames)
    : logFileName(logFileName), prices(prices), entryNames(entryNames)
{
}

BudgetWatch::~BudgetWatch() = default;

void BudgetWatch::reload(TDateTime now)
{
    watched.clear();
    reader.reset();
    const BudgetStore store;
    for (const auto& [connection, budget] : store.budgets()) {
        BudgetPeriodSum sum(connection, budget, now, *entryNames);
        const int told = store.toldLevel(connection, sum.period.start);
        watched.emplace_back(std::move(sum), told);
    }
    if (watched.empty())
        return;
    reader = std::make_unique<LogReader>(logFileName);
    readOn();
}

void BudgetWatch::settingsChanged(TDateTime now)
{
    const BudgetStore store;
    const std::vector<std::pair<std::string, Budget>> stored = store.budgets();
    const bool same = std::equal(stored.begin(), stored.end(), watched.begin(), watched.end(),
                                 [](const auto& s, const Watched& w) { return s.first == w.connection && s.second == w.budget; });
    if (!same) {
        reload(now);
        return;
    }
    // A level told in this run stays told, also when its write failed.
    for (Watched& w : watched)
        w.told = std::max(w.told, store.toldLevel(w.connection, w.period.start));
}

void BudgetWatch::readOn()
{
    PeriodSums sums{&watched, prices, entryNames};
    readWholeLog([&] { reader->readAll(sums); });
}

void BudgetWatch::update(bool changed, TDateTime now)
{
    const bool periodEnded = std::any_of(watched.begin(), watched.end(), [now](const Watched& w) {
        return now < w.period.start || now >= w.period.end;
    });
    if (periodEnded) {
        reload(now);
        // The live table may still hold the hour that ran over the end of
        // the period, until the service logs it.
        liveOfOldPeriod = true;
    } else if (changed && reader) {
        readOn();
    }
    if (changed)
        liveOfOldPeriod = false;
}

const BudgetWatch::Watched* BudgetWatch::find(const std::string& connection) const
{
    const auto at = std::find_if(watched.begin(), watched.end(),
                                 [&connection](const Watched& w) { return w.connection == connection; });
    return at == watched.end() ? nullptr : &*at;
}

std::optional<Budget> BudgetWatch::budgetOf(const std::string& connection) const
{
    const Watched* w = find(connection);
    return w ? std::optional<Budget>(w->budget) : std::nullopt;
}

std::optional<BudgetFigures> BudgetWatch::figuresOf(const std::string& connection,
                                                    const SharedStatisticsReader& live, TDateTime now) const
{
    const Watched* w = find(connection);
    if (!w)
        return std::nullopt;
    return w->figures(live, now, UnixFromDateTime(now), *prices, *entryNames, !liveOfOldPeriod);
}

std::vector<BudgetAlert> BudgetWatch::newAlerts(const SharedStatisticsReader& live, TDateTime now,
                                                std::string& saveError)
{
    std::vector<BudgetAlert> alerts;
    if (watched.empty())
        return alerts;
    const double nowSeconds = UnixFromDateTime(now);
    for (Watched& w : watched) {
        if (!w.budget.notify)
            continue;
        const BudgetFigures figures = w.figures(live, now, nowSeconds, *prices, *entryNames, !liveOfOldPeriod);
        const int level = levelToTell(figures.level, w.told);
        if (level == 0)
            continue;
        w.told = level;
        alerts.push_back({w.connection, budgetAlertText(w.connection, w.budget, figures), level});
    }
    try {
        if (!alerts.empty()) {
            BudgetStore store;
            for (const BudgetAlert& alert : alerts)
                store.setToldLevel(alert.connection, find(alert.connection)->period.start, alert.level);
        }
    } catch (const LTException& e) {
        saveError = e.what();
    }
    return alerts;
}
