#include "ui/monthCostsFrme.h"

namespace {

constexpr PeriodVariant VARIANT{
    .view = PeriodView::Month,
    .firstColumnHead = "Date",
    .firstColumnWidth = 70,
    .firstColumnMinimum = 70,
    .valueColumnWidths = {63, 63, 42},
    .stepDays = 0,
    .stepMonths = 1,
    .predCaption = "Previous Month",
    .nextCaption = "Next Month",
    .axisFormat = "dd/mm, ddd",
    .axisLabelsRotated = true,
    // orange / fuchsia
    .receivedColour = 0x0080FF,
    .sentColour = 0xFF00FF,
    .barOutline = Qt::NoPen,
    .totalsWidth = 272,
    .totalsHeight = 120,
};

} // namespace

TmonthCostsFrame::TmonthCostsFrame(QWidget* parent) : TPeriodCostsFrame(VARIANT, parent) {}
