#include "frontend/periodTotalsModel.h"
