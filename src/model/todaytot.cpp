#include "model/todaytot.h"

#include "common/ltassert.h"
#include "errors/ltexception.h"
#include "model/sharedstatreader.h"

#include <cmath>

TodayTotals::TodayTotals(const std::string& logFileName, Prices* prices, DataList* entryNames,
                         const std::function<void(const LTDataCorruptedException&)>& onCorrupted)
    : logFileName(logFileName), prices(prices), entryNames(entryNames)
{
    LT_ASSERT(prices && entryNames);
    try {
        reset(Now());
    } catch (const LTDataCorruptedException& e) {
        // reset has read every whole record before it reports.
        if (!onCorrupted)
            throw;
        onCorrupted(e);
    }
}

void TodayTotals::reset(TDateTime now)
{
    LT_ASSERT(logReader == 0);
    LT_ASSERT(logRecords == 0);
    // Built aside and kept together: a reader that cannot be made leaves the
    // object as it was (without them), and the next update tries again.
    auto reader = std::make_unique<LogReader>(logFileName, std::floor(now));
    auto records = std::make_unique<LogRecords>(prices, entryNames);
    day = std::floor(now);
    logReader = std::move(reader);
    logRecords = std::move(records);
    readWholeLog([this] { logReader->readAll(*logRecords); });
}

void TodayTotals::update(bool changed)
{
    const TDateTime now = Now();
    if (!logReader || now < day || now >= day + 1) {
        logReader.reset();
        logRecords.reset();
        reset(now);
    } else if (changed) {
        readWholeLog([this] { logReader->readAll(*logRecords); });
    }
}

Total4Period TodayTotals::liveTotal(const RecordFilter& filter, const SharedStatisticsReader& reader) const
{
    return liveTotalOn(day, filter, reader, *prices, *entryNames);
}

Total4Period TodayTotals::liveTotalOn(TDateTime day, const RecordFilter& filter, const SharedStatisticsReader& reader,
                                      const Prices& prices, const DataList& entryNames)
{
    Total4Period live;
    live.start = day;
    const auto* byName = dynamic_cast<const RecordFilter_byConnectionName*>(&filter);
    if (!byName)
        return live;
    const std::string& name = entryNames.nameOf(byName->getConnectionId());
    for (std::uint32_t i = 0; i < reader.size(); ++i) {
        if (name == reader.getName(i)) {
            live.addBytes(reader.getQuantumSent(i), reader.getQuantumReceived(i));
        }
    }
    live.costsUnknown =
        !costsAt(prices, byName->getConnectionId(), day, live.sent, live.received, live.uploadCost, live.downloadCost);
    return live;
}

Total4Period TodayTotals::getTotals(const RecordFilter& filter, const SharedStatisticsReader& reader) const
{
    Total4Period logPart;
    if (logRecords)
        logPart = logRecords->totalOfAll(filter);
    Total4Period total = logPart + liveTotal(filter, reader);
    total.start = day;
    return total;
}
