// The Month tab: one month in days.
#pragma once

#include "frontend/basicFrme.h"

class TmonthCostsFrame : public TBasicFrame {
    Q_OBJECT
public:
    explicit TmonthCostsFrame(QWidget* parent = nullptr);
};
