#include "frontend/hourCosts.h"

THourCostsFrame::THourCostsFrame(QWidget* parent) : TBasicFrame(parent) {}
