// Today's traffic and costs of a connection: today's log records, read
// again whenever the service has written some, plus the live quantum of the
// running connection from the shared table.
#pragma once

#include "model/datamodel.h"

#include <functional>
#include <memory>
#include <string>

class SharedStatisticsReader;

class TodayTotals {
public:
    // With onCorrupted, damage met by the first read is reported to it once
    // everything is read; without, that report is thrown.
    TodayTotals(const std::string& logFileName, Prices* prices, DataList* entryNames,
                const std::function<void(const LTDataCorruptedException&)>& onCorrupted = {});
    TodayTotals(const TodayTotals&) = delete;
    TodayTotals& operator=(const TodayTotals&) = delete;

    // Starts over for the day of now, reading today's records from the log.
    void reset(TDateTime now);
    // One meter tick: a new calendar day (either way) starts over; a changed
    // log is read on from where the last read stopped. Damage in the log is
    // read past at once, then reported (once) by the exception.
    void update(bool changed);
    Total4Period liveTotal(const RecordFilter& filter, const SharedStatisticsReader& reader) const;
    // The live part for any day: the connection's rows of the live table,
    // priced at that day's midnight.
    static Total4Period liveTotalOn(TDateTime day, const RecordFilter& filter, const SharedStatisticsReader& reader,
                                    const Prices& prices, const DataList& entryNames);
    Total4Period getTotals(const RecordFilter& filter, const SharedStatisticsReader& reader) const;
    TDateTime getDay() const { return day; }
    const LogRecords& records() const { return *logRecords; }

private:
    std::string logFileName;
    std::unique_ptr<LogReader> logReader;
    TDateTime day = 0;
    Prices* prices;
    std::unique_ptr<LogRecords> logRecords;
    DataList* entryNames;
};
