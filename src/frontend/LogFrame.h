// The Connection Log tab: the selected connection's records, 24 to a page.
#pragma once

#include "frontend/basicFrme.h"

class TLogRecordsFrame : public TBasicFrame {
    Q_OBJECT
public:
    explicit TLogRecordsFrame(QWidget* parent = nullptr);
};
