// The Totals tab: today's, this week's and this month's totals of the
// selected connection, the live traffic included.
#pragma once

#include "ui/basicFrme.h"

class QFrame;
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
};
