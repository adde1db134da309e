#include "frontend/allTotalsFrme.h"

TAllTotalsFrame::TAllTotalsFrame(QWidget* parent) : TBasicFrame(parent) {}
