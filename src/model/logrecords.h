// The records read from the connection log, the filters and totals over
// them, and the pages of the connection log view.
#pragma once

#include "common/datetime.h"
#include "model/datalist.h"
#include "model/prices.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

// The traffic of one connection in one accounting quantum.
class LogRecord {
public:
    LogRecord(unsigned char type, int id, int entryId, int deviceTypeId, int deviceNameId, int phoneId,
              int userNameId, TDateTime start, TDateTime end, std::uint64_t sent, std::uint64_t received)
        : start(start), end(end), sent(sent), received(received), id(id), entryId(entryId),
          deviceTypeId(deviceTypeId), deviceNameId(deviceNameId), phoneId(phoneId), userNameId(userNameId),
          type(type)
    {
    }

    unsigned char getType() const { return type; }
    int getId() const { return id; }
    int getEntryId() const { return entryId; }
    int getDeviceTypeId() const { return deviceTypeId; }
    int getDeviceNameId() const { return deviceNameId; }
    int getPhoneId() const { return phoneId; }
    int getUserNameId() const { return userNameId; }
    TDateTime getStart() const { return start; }
    TDateTime getEnd() const { return end; }
    std::uint64_t getSent() const { return sent; }
    std::uint64_t getReceived() const { return received; }

private:
    TDateTime start;
    TDateTime end;
    std::uint64_t sent;
    std::uint64_t received;
    std::int32_t id;
    std::int32_t entryId;
    std::int32_t deviceTypeId;
    std::int32_t deviceNameId;
    std::int32_t phoneId;
    std::int32_t userNameId;
    unsigned char type;
};
// The whole log stays in memory: keep a record one cache line.
static_assert(sizeof(LogRecord) == 64);

using listOfRecords = std::vector<const LogRecord*>;

// Decides which records a view or a total takes into account.
class RecordFilter {
public:
    virtual ~RecordFilter() = default;
    virtual bool accept(const LogRecord& record) const = 0;
};

// The records of one connection, named by its entry id.
class RecordFilter_byConnectionName : public RecordFilter {
public:
    RecordFilter_byConnectionName(DataList* entryNames, int connectionId);
    bool accept(const LogRecord& record) const override { return record.getEntryId() == connectionId; }
    int getConnectionId() const { return connectionId; }
    void setConnectionId(int id) { connectionId = id; }
    const std::string& getConnectionName() const { return entryNames->nameOf(connectionId); }

private:
    DataList* entryNames;
    int connectionId;
};

// a + b, or the largest count where that would wrap.
std::uint64_t saturatingSum(std::uint64_t a, std::uint64_t b);

// Traffic and costs of one period.
struct Total4Period {
    TDateTime start = 0;
    std::uint64_t sent = 0;
    std::uint64_t received = 0;
    double uploadCost = 0;
    double downloadCost = 0;
    bool costsUnknown = false;

    // Saturates rather than wraps: a total never shows less than one of its
    // records holds (a damaged record may hold close to 2^64 bytes).
    void addBytes(std::uint64_t moreSent, std::uint64_t moreReceived);
    // A record's bytes, and its costs at the prices in force at its start;
    // one without a price makes the costs unknown for good.
    void addRecord(const Prices& prices, int entryId, TDateTime recordStart, std::uint64_t moreSent,
                   std::uint64_t moreReceived);
};

// The costs of bytes at the prices in force for the entry at a moment;
// false when none is.
bool costsAt(const Prices& prices, int entryId, TDateTime moment, std::uint64_t sent, std::uint64_t received,
             double& uploadCost, double& downloadCost);
using listOfTotals = std::vector<Total4Period>;

// The whole of a non-empty list: costs only up to the first unpriced element.
Total4Period sumOfTotals(const listOfTotals& totals);
// Bytes added; costs of the operands that know theirs.
Total4Period operator+(const Total4Period& a, const Total4Period& b);

// The records read from the log, by id (file order) and by start time.
class LogRecords {
public:
    LogRecords(Prices* prices, DataList* entries);
    LogRecords(const LogRecords&) = delete;
    LogRecords& operator=(const LogRecords&) = delete;

    void add(unsigned char type, std::string_view entryName, std::string_view deviceType,
             std::string_view deviceName, std::string_view phoneNumber, std::string_view userName,
             TDateTime start, TDateTime end, std::uint64_t sent, std::uint64_t received);
    // Rebuilds the start-ordered view over every record.
    void sortByStart();
    int size() const;
    // Throws std::out_of_range for an index outside 0 .. size-1.
    const LogRecord& getRecord(int index) const;
    const std::string& getConnectionName(const LogRecord* rec) const;
    const std::string& getPhone(const LogRecord* rec) const;
    const listOfRecords& byStart() const { return sortedByStart; }

    // The record's costs at the prices in force at its start; false when
    // none is.
    bool costOf(const LogRecord& record, double& uploadCost, double& downloadCost, double& cost) const;
    // One period [start, start + length), by record start (sortByStart must
    // have run since the last add).
    Total4Period totalFor(TDateTime start, double length, const RecordFilter& filter) const;
    void totalsFor(TDateTime start, double length, int count, const RecordFilter& filter, listOfTotals& totals) const;
    Total4Period totalOfAll(const RecordFilter& filter) const;

private:
    Prices& prices;
    DataList& entryNames;
    DataList deviceTypes;
    DataList deviceNames;
    DataList phones;
    DataList userNames;
    // Records in id order; a deque keeps their addresses while more arrive.
    std::deque<LogRecord> records;
    listOfRecords sortedByStart;
};

// The history the report and the windows show: the entry names, the price
// table over them and the records read from the log, wired together once.
struct History {
    DataList entryNames;
    Prices prices{&entryNames};
    LogRecords records{&prices, &entryNames};
};

// Pages of the records a filter accepts, in file order; page 1 is the oldest.
class LogRecordsPager {
public:
    LogRecordsPager(int pageSize, const LogRecords& records, const RecordFilter& filter);
    int getPagesCount() const { return pagesCount; }
    // The records of page pageNum (1 .. getPagesCount()).
    void getPage(int pageNum, listOfRecords& page) const;

private:
    int pageSize;
    int pagesCount = 1;
    std::vector<int> pageStarts; // id of each page's first record
    const LogRecords& records;
    const RecordFilter& filter;
};
