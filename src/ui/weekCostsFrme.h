// The Week tab: one week, Sunday to Saturday, in days.
#pragma once

#include "ui/periodCostsFrame.h"

class TWeekCostsFrame : public TPeriodCostsFrame {
    Q_OBJECT
public:
    explicit TWeekCostsFrame(QWidget* parent = nullptr);
};
