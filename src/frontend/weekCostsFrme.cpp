#include "frontend/weekCostsFrme.h"

TWeekCostsFrame::TWeekCostsFrame(QWidget* parent) : TBasicFrame(parent) {}
