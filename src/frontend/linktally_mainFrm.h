// The totals window. Until its frames exist it is an empty window that
// takes the meter's calls.
#pragma once

#include <QWidget>

class DataList;
class Prices;
class RecordFilter_byConnectionName;
class SharedStatisticsReader;
class TodayTotals;

class TMainForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm2(QWidget* parent = nullptr);

    void prepare(Prices* prices, DataList* entryNames, RecordFilter_byConnectionName* filter,
                 TodayTotals* todayTotals, SharedStatisticsReader* sharedStat);
    void filterChanged();
    void pricesChanged();
    void refreshTotals(bool changed);
};
