// The monitor's start-up loading of entry names and prices, and the passes
// that read a log past its damage.
#pragma once

#include "model/datalist.h"
#include "model/prices.h"

#include <functional>
#include <string>

class LTDataCorruptedException;
class RasProvider;

// The monitor's start-up model: entry names of the interfaces, the log and
// the phone book (of ras), then the price table (whose names join too); at least
// "<DUMMY CONNECTION>". A price file that fails to load keeps what came
// before the failure, and Prices::load's message goes to priceFileError.
// LAN names come from a collector that may be absent: why it is goes to
// interfacesError, or, without it, the collector's exception passes.
// With onCorrupted, a record that cannot be decoded is reported to it and
// reading goes on with the next; without, the reader's exception passes.
void loadEntryNamesAndPrices(RasProvider& ras, DataList& entryNames, Prices& prices, const std::string& logFile,
                             const std::string& priceFile, bool withInterfaces = true,
                             const std::function<void(const LTDataCorruptedException&)>& onCorrupted = {},
                             std::string* priceFileError = nullptr, std::string* interfacesError = nullptr);
// Runs passes of pass() until one ends without a corrupted record, each
// reported to onCorrupted; the reader reports each damaged region once and
// stands after it, so every pass gets further.
void readPastCorruption(const std::function<void()>& pass,
                        const std::function<void(const LTDataCorruptedException&)>& onCorrupted);
// Runs passes until one ends without a report, so that every whole record
// is read, then throws the first report again for the caller to show.
void readWholeLog(const std::function<void()>& pass);
