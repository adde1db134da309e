// The pattern of the Day, Week, Month and Year tabs.
#pragma once

#include "frontend/basicFrme.h"
