// The monitor's reader of the connection log. It hands the records to the
// model's collections (LogRecords, DataList) through the two passes below,
// written as templates so that this folder includes nothing above it.
#pragma once

#include "common/datetime.h"
#include "log/logrecord.h"
#include "platform/files.h"

#include <concepts>
#include <functional>
#include <cstdint>
#include <string>
#include <string_view>

// What the two passes hand records to: the model's LogRecords and DataList.
template <class T>
concept RecordCollection = requires(T records, const LogRecordFields& r) {
    records.add(r.type, r.entryName, r.deviceType, r.deviceName, r.phoneNumber, r.userName, r.start, r.end,
                r.sent, r.received);
    records.sortByStart();
};
template <class T>
concept NameList = requires(T names, std::string_view name) {
    { names.idOf(name) } -> std::convertible_to<int>;
};

// Reads the connection log incrementally: each pass delivers the records
// appended since the previous pass of the same reader. It takes no lock (the
// service's lock is its own): a frame short at the end that grows or goes
// within a moment is one the service was appending, and is read again. A damaged region is reported
// once, as an LTDataCorruptedException that tells its offset and length,
// and the reader then stands where whole frames start again, so the next
// pass goes on with every whole record after it. Damage that runs to the
// end of the file (a torn tail, "Unexpected end of file!") is reported once
// too; the reader stands at it until the service's repair or new frames.
class LogReader {
public:
    explicit LogReader(const std::string& fileName);
    // Only records that start on the day of `day` (from its midnight on).
    LogReader(const std::string& fileName, TDateTime day);
    LogReader(const LogReader&) = delete;
    LogReader& operator=(const LogReader&) = delete;

    // The next record, or false at the end of the data. Throws
    // LTDataCorruptedException for damage not reported before.
    bool readRecord(LogRecordFields& record);
    // How a frame short at the end is waited for (appendInProgress unless
    // a test says otherwise): true when it is to be read again.
    using AppendWait = std::function<bool(const platform::FileReader& file, std::int64_t size)>;
    void setAppendWait(AppendWait wait) { appendWait = std::move(wait); }

    // One pass: every further record of the day restriction goes to
    // the model's LogRecords (add), which is then sorted by start.
    template <RecordCollection Records> void readAll(Records& records);
    // One pass: the entry name of every further record of the day
    // restriction goes to the model's DataList (idOf).
    template <NameList Names> void readEntryNames(Names& entryNames);

private:
    template <class Accept> void pass(Accept&& accept);
    // Turns to the file the path names now when the service has made it
    // anew (the one read to its end was moved or deleted): the records of
    // both count. Whether it turned.
    bool followPath();
    bool dayAccepts(TDateTime start) const;
    void skipDamage(std::int64_t frameStart, const std::string& reason, bool torn);

    std::string fileName;
    LogRecordBuffer buffer;
    bool dayFilter = false;
    TDateTime day = 0;
    platform::FileReader file;
    AppendWait appendWait;
    bool atEnd = false; // the stream's failed state: cleared by each pass
    int recoveredLength = 0;          // the length of a record whose length bytes are damaged
    std::int64_t reportedDamage = -1; // where the last reported damage starts
    std::int64_t reportedSize = -1;   // the file's size then
    std::int64_t lastWholeStart = -1; // where the file's last whole record starts...
    std::int64_t lastWholeStartSize = -1; // ...while it has this size
};

template <class Accept> void LogReader::pass(Accept&& accept)
{
    do {
        atEnd = false;
        LogRecordFields record;
        while (readRecord(record))
            if (!dayFilter || dayAccepts(record.start))
                accept(record);
    } while (followPath());
}

template <RecordCollection Records> void LogReader::readAll(Records& records)
{
    pass([&records](const LogRecordFields& r) {
        records.add(r.type, r.entryName, r.deviceType, r.deviceName, r.phoneNumber, r.userName, r.start, r.end,
                    r.sent, r.received);
    });
    records.sortByStart();
}

template <NameList Names> void LogReader::readEntryNames(Names& entryNames)
{
    pass([&entryNames](const LogRecordFields& r) { entryNames.idOf(r.entryName); });
}
