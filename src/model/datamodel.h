// The monitor's model of the history: entry names (datalist), prices
// (prices), connection records with their totals and pages (logrecords),
// the reader that brings them in from the connection log (log/logreader)
// and the start-up loading (startup). One header for the whole.
#pragma once

#include "log/logreader.h"
#include "model/datalist.h"
#include "model/logrecords.h"
#include "model/prices.h"
#include "model/startup.h"
