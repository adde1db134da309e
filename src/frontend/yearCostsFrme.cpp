#include "frontend/yearCostsFrme.h"

TYearCostsFrame::TYearCostsFrame(QWidget* parent) : TBasicFrame(parent) {}
