#include "ui/hourCosts.h"

namespace {

constexpr PeriodVariant VARIANT{
    .view = PeriodView::Day,
    .firstColumnHead = "Hour",
    .firstColumnWidth = 55,
    .firstColumnMinimum = 55,
    .valueColumnWidths = {70, 70, 42},
    .stepDays = 1,
    .stepMonths = 0,
    .predCaption = "Previous Day",
    .nextCaption = "Next Day",
    .axisFormat = "hh:nn",
    .axisLabelsRotated = true,
    .receivedColour = 0xC08000,
    .sentColour = 0x0080FF,
    .barOutline = Qt::NoPen,
    .totalsWidth = 299,
    .totalsHeight = 121,
};

} // namespace

THourCostsFrame::THourCostsFrame(QWidget* parent) : TPeriodCostsFrame(VARIANT, parent) {}
