// The monitor's model of the history: entry names, connection records and
// the reader that brings them in from the connection log.
#pragma once

#include "common/conlogger.h"
#include "common/datetime.h"
#include "platform/files.h"
#include "platform/named_lock.h"

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// Two-way interning of texts: ids 0, 1, 2 ... in the order texts first came,
// never changed, never reused. Texts compare byte by byte.
class DataList {
public:
    DataList() = default;
    DataList(const DataList&) = delete;
    DataList& operator=(const DataList&) = delete;

    // The id of text, adding it with the next free id when it is new.
    int idOf(std::string_view text);
    // The id of text, or -1 when unknown; never adds.
    int findId(std::string_view text) const;
    // The text of id, or the empty text when no text has that id.
    const std::string& nameOf(int id) const;
    int size() const;

private:
    std::map<std::string, int, std::less<>> str2id;
    // Dense ids index the texts held as keys of str2id (map nodes never move).
    std::vector<const std::string*> id2str;
};

// The price table arrives with its own issue; records only hold a reference.
class Prices {
public:
    Prices() = default;
};

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

// Reads the connection log incrementally: each pass delivers the records
// appended since the previous pass of the same reader, under the statistics
// mutex so that it never meets half a frame.
class LogReader {
public:
    explicit LogReader(const std::string& fileName);
    // Only records that start on the day of `day` (from its midnight on).
    LogReader(const std::string& fileName, TDateTime day);
    LogReader(const LogReader&) = delete;
    LogReader& operator=(const LogReader&) = delete;

    // The next record, or false at the end of the data. Throws
    // LTDataCorruptedException for a record that cannot be decoded.
    bool readRecord(LogRecordFields& record);
    void readAll(LogRecords& records);
    void readEntryNames(DataList& entryNames);

private:
    template <class Accept> void pass(Accept&& accept);
    bool dayAccepts(TDateTime start) const;

    std::string fileName;
    LogRecordBuffer buffer;
    bool dayFilter = false;
    TDateTime day = 0;
    platform::FileReader file;
    bool atEnd = false; // the stream's failed state: cleared by each pass
    platform::NamedLock mutex;
};
