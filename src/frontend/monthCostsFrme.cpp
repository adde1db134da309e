#include "frontend/monthCostsFrme.h"

TmonthCostsFrame::TmonthCostsFrame(QWidget* parent) : TBasicFrame(parent) {}
