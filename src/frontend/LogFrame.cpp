#include "frontend/LogFrame.h"

TLogRecordsFrame::TLogRecordsFrame(QWidget* parent) : TBasicFrame(parent) {}
