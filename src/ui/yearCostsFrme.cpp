#include "ui/yearCostsFrme.h"

namespace {

constexpr PeriodVariant VARIANT{
    .view = PeriodView::Year,
    .firstColumnHead = "Date",
    .firstColumnWidth = 73,
    .firstColumnMinimum = 73,
    .valueColumnWidths = {65, 65, 53},
    .stepDays = 0,
    .stepMonths = 12,
    .predCaption = "Previous Year",
    .nextCaption = "Next Year",
    .axisFormat = "mmm",
    .axisLabelsRotated = false,
    // red / violet
    .receivedColour = 0x0000FF,
    .sentColour = 0xFF0080,
    .barOutline = Qt::DashDotDotLine,
    .totalsWidth = 272,
    .totalsHeight = 120,
};

} // namespace

TYearCostsFrame::TYearCostsFrame(QWidget* parent) : TPeriodCostsFrame(VARIANT, parent) {}
