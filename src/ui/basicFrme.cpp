#include "ui/basicFrme.h"

#include "common/ltassert.h"

TBasicFrame::TBasicFrame(QWidget* parent) : QWidget(parent) { resize(320, 240); }

void TBasicFrame::init(LogRecords* records, RecordFilter* filter, TodayTotals* todayTotals,
                       SharedStatisticsReader* sharedStat)
{
    LT_ASSERT(records);
    LT_ASSERT(filter);
    LT_ASSERT(todayTotals);
    LT_ASSERT(sharedStat);
    this->records = records;
    this->filter = filter;
    this->todayTotals = todayTotals;
    this->sharedStat = sharedStat;
}
