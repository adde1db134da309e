// The Week tab: one week, Sunday to Saturday, in days.
#pragma once

#include "frontend/basicFrme.h"

class TWeekCostsFrame : public TBasicFrame {
    Q_OBJECT
public:
    explicit TWeekCostsFrame(QWidget* parent = nullptr);
};
