#include "frontend/pricesListModel.h"
