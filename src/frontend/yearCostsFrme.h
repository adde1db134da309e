// The Year tab: one year in months.
#pragma once

#include "frontend/basicFrme.h"

class TYearCostsFrame : public TBasicFrame {
    Q_OBJECT
public:
    explicit TYearCostsFrame(QWidget* parent = nullptr);
};
