// The pattern of the Day, Week, Month and Year tabs: a date picker with
// previous/next buttons chooses the period; its rows are shown as a stacked
// bar chart and as a list, their sum in a totals table.
#pragma once

#include "model/datamodel.h"
#include "model/viewformat.h"
#include "ui/basicFrme.h"

#include <array>
#include <cstdint>

class PeriodTotalsModel;
class QAction;
class QDateEdit;
class QFrame;
class QLabel;
class QTableView;
class QToolBar;
class QToolButton;
class TStackedBarChart;
class TtotalsTableFrame;

// What one tab makes of the pattern.
struct PeriodVariant {
    PeriodView view;
    // Column 0 of the list: head, width and the least width it keeps.
    const char* firstColumnHead;
    int firstColumnWidth;
    int firstColumnMinimum;
    // "Sent MB", "Rcved MB", "Costs".
    std::array<int, 3> valueColumnWidths;
    // Previous/Next move by this many days plus this many calendar months.
    int stepDays;
    int stepMonths;
    // Captions and hints of the two actions.
    const char* predCaption;
    const char* nextCaption;
    // The chart's row labels.
    const char* axisFormat;
    bool axisLabelsRotated;
    // The bars' colours as the model's 0xBBGGRR values, and their outline.
    std::uint32_t receivedColour;
    std::uint32_t sentColour;
    Qt::PenStyle barOutline;
    // Panel3's width and the totals table's height on it.
    int totalsWidth;
    int totalsHeight;
};

class TPeriodCostsFrame : public TBasicFrame {
    Q_OBJECT
public:
    TPeriodCostsFrame(const PeriodVariant& variant, QWidget* parent);

    void init(LogRecords* records, RecordFilter* filter, TodayTotals* todayTotals,
              SharedStatisticsReader* sharedStat) override;
    void filterChanged() override;
    void pricesChanged() override;

    // Computes and shows the period that contains date.
    void showPeriod(TDateTime date);

    void dtpDayChange();
    void actPredExecute();
    void actNextExecute();
    void fitValueColumns();

    QFrame* Panel1;
    QToolBar* ToolBar1;
    QDateEdit* dtpDay;
    QLabel* Label1;
    QToolButton* ToolButton1;
    QToolButton* ToolButton2;
    TStackedBarChart* chart;
    QFrame* Panel3;
    TtotalsTableFrame* totalsTableFrame;
    QFrame* Panel2;
    QTableView* lvTotals;
    QObject* ActionList;
    QAction* actPred;
    QAction* actNext;

protected:
    // One element per row, in time order; the list reads it on demand.
    listOfTotals periodTotals;
    TDateTime periodStart = 0;

private:
    void buildToolBar();
    void buildChart();
    void buildTotalsPanel();
    // periodStart moved by the variant's step, forward (1) or back (-1).
    TDateTime steppedStart(int direction) const;
    // Previous (-1) or Next (1).
    void step(int direction);
    void showDate();
    void showChart();
    void keepColumnMinimum(int column, int width);

    const PeriodVariant variant;
    PeriodTotalsModel* totalsModel;
};
