#include "frontend/periodCostsFrame.h"
