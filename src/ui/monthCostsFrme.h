// The Month tab: one month in days.
#pragma once

#include "ui/periodCostsFrame.h"

class TmonthCostsFrame : public TPeriodCostsFrame {
    Q_OBJECT
public:
    explicit TmonthCostsFrame(QWidget* parent = nullptr);
};
