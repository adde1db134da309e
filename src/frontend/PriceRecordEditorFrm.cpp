#include "frontend/PriceRecordEditorFrm.h"
