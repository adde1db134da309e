// The Year tab: one year in months.
#pragma once

#include "ui/periodCostsFrame.h"

class TYearCostsFrame : public TPeriodCostsFrame {
    Q_OBJECT
public:
    explicit TYearCostsFrame(QWidget* parent = nullptr);
};
