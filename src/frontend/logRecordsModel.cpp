#include "frontend/logRecordsModel.h"
