#include "ui/weekCostsFrme.h"

namespace {

constexpr PeriodVariant VARIANT{
    .view = PeriodView::Week,
    .firstColumnHead = "Date",
    .firstColumnWidth = 87,
    .firstColumnMinimum = 80,
    .valueColumnWidths = {63, 63, 42},
    .stepDays = 7,
    .stepMonths = 0,
    .predCaption = "Previous Week",
    .nextCaption = "Next Week",
    .axisFormat = "dd.MM, ddd",
    .axisLabelsRotated = false,
    // green / red
    .receivedColour = 0x008000,
    .sentColour = 0x0000FF,
    .barOutline = Qt::NoPen,
    .totalsWidth = 272,
    .totalsHeight = 120,
};

} // namespace

TWeekCostsFrame::TWeekCostsFrame(QWidget* parent) : TPeriodCostsFrame(VARIANT, parent) {}
