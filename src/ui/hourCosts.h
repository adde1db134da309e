// The Day tab: one day in hours.
#pragma once

#include "ui/periodCostsFrame.h"

class THourCostsFrame : public TPeriodCostsFrame {
    Q_OBJECT
public:
    explicit THourCostsFrame(QWidget* parent = nullptr);
};
