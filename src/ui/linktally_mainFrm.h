// The totals window: the selected connection's history on six tabs. It is
// created once and only hidden; its records live from prepare to the next
// hide, so every opening reads the whole log again. The tabs' frames are
// made by the first prepare: a meter that never shows totals never pays
// for their controls.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class BudgetWatch;
class DamageNotices;
class ToldDamage;
class DataList;
class LogReader;
class LogRecords;
class Prices;
class QFrame;
class QTabWidget;
class RecordFilter;
class SharedStatisticsReader;
class TAllTotalsFrame;
class TBasicFrame;
class THourCostsFrame;
class TLogRecordsFrame;
class TWeekCostsFrame;
class TYearCostsFrame;
class TmonthCostsFrame;
class TodayTotals;

class TMainForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm2(QWidget* parent = nullptr);
    ~TMainForm2() override;

    // Reads the log into new records and hands them to every tab.
    void prepare(Prices* prices, DataList* entryNames, RecordFilter* filter, TodayTotals* todayTotals,
                 SharedStatisticsReader* sharedStat);
    // The three forwards of the meter; ignored while the window is hidden.
    void filterChanged();
    void pricesChanged();
    void refreshTotals(bool changed);
    // The regions of the log the user has heard of in this run (the
    // meter's); none told when null.
    ToldDamage* toldDamage = nullptr;
    // The meter's watch over the budgets, and its reload, for the Totals
    // tab's Budget group; none shown when null.
    BudgetWatch* budgets = nullptr;
    std::function<void()> budgetsChanged;

    QFrame* mainPanel;
    QTabWidget* PageControl;
    QWidget* tsTotals;
    QFrame* Panel1;
    TAllTotalsFrame* allTotalsFrame = nullptr;
    QWidget* tsDay;
    THourCostsFrame* hourCostsFrame = nullptr;
    QWidget* tsWeek;
    TWeekCostsFrame* weekCostsFrame = nullptr;
    QWidget* tsMonth;
    TmonthCostsFrame* monthCostsFrame = nullptr;
    QWidget* tsYear;
    TYearCostsFrame* yearCostsFrame = nullptr;
    QWidget* TabSheet3;
    TLogRecordsFrame* logRecordsFrame = nullptr;

    const LogRecords* getRecords() const { return records.get(); }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void createFrames();
    void FormHide();
    // Appends what the log holds beyond the last read, reading past damage;
    // the damage is told once the tabs show what was read.
    DamageNotices readLog();
    void tellDamage(const DamageNotices& damage);

    std::unique_ptr<LogRecords> records;
    Prices* prices = nullptr;
    std::unique_ptr<LogReader> logReader;
    RecordFilter* filter = nullptr;
    TodayTotals* todayTotals = nullptr;
    SharedStatisticsReader* sharedStat = nullptr;
    std::vector<TBasicFrame*> frames;
};
