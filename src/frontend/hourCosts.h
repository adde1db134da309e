// The Day tab: one day in hours.
#pragma once

#include "frontend/basicFrme.h"

class THourCostsFrame : public TBasicFrame {
    Q_OBJECT
public:
    explicit THourCostsFrame(QWidget* parent = nullptr);
};
