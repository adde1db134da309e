// The Totals tab: today's, this week's and this month's totals.
#pragma once

#include "frontend/basicFrme.h"

class TAllTotalsFrame : public TBasicFrame {
    Q_OBJECT
public:
    explicit TAllTotalsFrame(QWidget* parent = nullptr);
};
