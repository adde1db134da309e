#include "frontend/linktally_mainFrm.h"

#include "common/common.h"

TMainForm2::TMainForm2(QWidget* parent) : QWidget(parent)
{
    setObjectName("MainForm2");
    setWindowTitle(QString::fromUtf8(TOTALS_WINDOW_TITLE));
    resize(716, 474);
}

void TMainForm2::prepare(Prices*, DataList*, RecordFilter_byConnectionName*, TodayTotals*, SharedStatisticsReader*) {}

void TMainForm2::filterChanged() {}

void TMainForm2::pricesChanged() {}

void TMainForm2::refreshTotals(bool) {}
