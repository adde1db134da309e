// The monitor's model of the history: entry names, connection records and
// the reader that brings them in from the connection log.
#pragma once

#include "log/logreader.h"
#include "common/datetime.h"
#include "common/dbglogger.h"
#include "platform/files.h"
#include "platform/named_lock.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <unordered_map>
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
    // Looked up once for each of a record's five texts: hashed, and by
    // string_view without a temporary string.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
    };
    std::unordered_map<std::string, int, TextHash, std::equal_to<>> str2id;
    // Dense ids index the texts held as keys of str2id (map nodes never move).
    std::vector<const std::string*> id2str;
};

// Dated prices per megabyte (2^20 bytes) sent and received, per entry:
// an item is in force from its day's midnight until the next item's day.
class Prices {
public:
    struct PriceItem {
        PriceItem(double uploadPrice, double downloadPrice);
        double uploadPrice;
        double downloadPrice;
    };

    explicit Prices(DataList* entryNames);
    Prices(const Prices&) = default;
    Prices& operator=(const Prices&) = default;

    // Keyed by the date's day; replaces the item of that day. Throws
    // std::out_of_range ("vector") for an id beyond the entry names.
    void setPrice(int entryId, TDateTime date, double uploadPrice, double downloadPrice);
    // The item in force at moment: the latest one dated not after it.
    bool getPrice(int entryId, TDateTime moment, double& uploadPrice, double& downloadPrice) const;
    // Removes the item keyed exactly date (a key from getItem).
    void removePrice(int entryId, TDateTime date);
    int size() const;
    // The names the entry ids of the items stand for.
    DataList* getEntryNames() const { return entryNames; }
    // Drops every item. A file whose load failed stays marked, so that the
    // next save still keeps a copy of it.
    void clear() { prices.clear(); }
    // Items by entry id, then date.
    void getItem(int index, int& entryId, TDateTime& date, double& uploadPrice, double& downloadPrice) const;

    // Reads "prices.txt". A missing or unreadable file leaves the table
    // empty; so does an empty first line (an empty name line ends the
    // table). A file that ends early keeps what it had. An item with a
    // negative price is skipped.
    // Anything else that does not make sense (a count that is not a whole
    // number from 0 to 2147483647, a price that is not a finite '.'
    // number, text after the last field, a date that does not convert or
    // whose year has fewer than four digits) stops the load: it throws
    // LTException "FILE, line N: 'TEXT' is not ..." with N counted from 1,
    // and the table keeps everything read before that line.
    void load(const std::string& fileName);
    // Writes every entry with items; failures to write are not reported.
    // The first save over a file whose load failed first copies it to
    // FILE.bak, or, when that exists, to the first free of FILE.bak.1,
    // FILE.bak.2 ..., so that no kept copy is lost; when no copy can be
    // made it throws LTException and writes nothing.
    void save(const std::string& fileName) const;

private:
    using Items = std::map<TDateTime, PriceItem>;
    Items& itemsOf(int entryId);
    const Items* findItems(int entryId) const;

    DataList* entryNames;
    std::vector<Items> prices; // by entry id, lengthened on use
    // The file whose load failed, until a save has kept a copy of it; a
    // const save clears it, as the copy is not part of the table.
    mutable std::string damagedFile;
};

// Megabytes (2^20 bytes) of an unsigned byte count: counts from 2^63 on
// stay positive.
double megabytesOf(std::uint64_t bytes);
// Money of bytes at a price per megabyte: bytes x price x 2^-20.
double costOfBytes(std::uint64_t bytes, double pricePerMb);

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

// Traffic and costs of one period.
struct Total4Period {
    TDateTime start = 0;
    std::uint64_t sent = 0;
    std::uint64_t received = 0;
    double uploadCost = 0;
    double downloadCost = 0;
    bool costsUnknown = false;
};
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
