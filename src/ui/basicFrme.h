// What every tab of the totals window shares: the model objects it shows
// and the three notifications the window forwards to it.
#pragma once

#include <QWidget>

class LogRecords;
class RecordFilter;
class SharedStatisticsReader;
class TodayTotals;

class TBasicFrame : public QWidget {
    Q_OBJECT
public:
    explicit TBasicFrame(QWidget* parent = nullptr);

    // Stores the window's objects (none may be null); derived frames then
    // compute their view.
    virtual void init(LogRecords* records, RecordFilter* filter, TodayTotals* todayTotals,
                      SharedStatisticsReader* sharedStat);
    virtual void filterChanged() {}
    virtual void pricesChanged() {}

protected:
    // Not owned: the window's, valid from init until the window hides.
    LogRecords* records = nullptr;
    RecordFilter* filter = nullptr;
    TodayTotals* todayTotals = nullptr;
    SharedStatisticsReader* sharedStat = nullptr;
};
