#include "frontend/datamodel.h"

#include "common/common.h"
#include "common/dbglogger.h"
#include "common/ltassert.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

const std::string emptyText;

bool startsBefore(const LogRecord* a, const LogRecord* b) { return a->getStart() < b->getStart(); }

platform::SecurityAttributes everyAccount(platform::SecurityDescriptor& descriptor)
{
    platform::SecurityAttributes attributes;
    initNullDaclSecurity(descriptor, attributes);
    return attributes;
}

platform::NamedLock openStatisticsMutex()
{
    platform::SecurityDescriptor descriptor;
    const platform::SecurityAttributes attributes = everyAccount(descriptor);
    return platform::NamedLock(STATISTICS_MUTEX_NAME, &attributes);
}

} // namespace

int DataList::idOf(std::string_view text)
{
    LT_ASSERT(str2id.size() == id2str.size());
    auto found = str2id.find(text);
    if (found == str2id.end()) {
        if (id2str.size() == id2str.capacity()) // may throw before the maps differ
            id2str.reserve(std::max<std::size_t>(8, 2 * id2str.capacity()));
        found = str2id.emplace(std::string(text), static_cast<int>(id2str.size())).first;
        id2str.push_back(&found->first);
    }
    LT_ASSERT(str2id.size() == id2str.size());
    return found->second;
}

int DataList::findId(std::string_view text) const
{
    const auto found = str2id.find(text);
    return found == str2id.end() ? -1 : found->second;
}

const std::string& DataList::nameOf(int id) const
{
    if (id < 0 || id >= static_cast<int>(id2str.size()))
        return emptyText;
    return *id2str[static_cast<std::size_t>(id)];
}

int DataList::size() const
{
    LT_ASSERT(id2str.size() == str2id.size());
    return static_cast<int>(id2str.size());
}

LogRecords::LogRecords(Prices* prices, DataList* entries)
    : prices((LT_ASSERT(prices), *prices)), entryNames((LT_ASSERT(entries), *entries))
{
}

void LogRecords::add(unsigned char type, std::string_view entryName, std::string_view deviceType,
                     std::string_view deviceName, std::string_view phoneNumber, std::string_view userName,
                     TDateTime start, TDateTime end, std::uint64_t sent, std::uint64_t received)
{
    records.emplace_back(type, static_cast<int>(records.size()), entryNames.idOf(entryName),
                         deviceTypes.idOf(deviceType), deviceNames.idOf(deviceName), phones.idOf(phoneNumber),
                         userNames.idOf(userName), start, end, sent, received);
}

void LogRecords::sortByStart()
{
    // The view already holds the first records in order; the log grows in
    // time order, so the new ones mostly go on the end.
    const std::size_t sorted = sortedByStart.size();
    sortedByStart.reserve(records.size());
    for (std::size_t i = sorted; i < records.size(); ++i)
        sortedByStart.push_back(&records[i]);
    const auto tail = sortedByStart.begin() + static_cast<std::ptrdiff_t>(sorted);
    if (!std::is_sorted(tail, sortedByStart.end(), startsBefore))
        std::sort(tail, sortedByStart.end(), startsBefore);
    if (sorted > 0 && tail != sortedByStart.end() && startsBefore(*tail, *(tail - 1)))
        std::inplace_merge(sortedByStart.begin(), tail, sortedByStart.end(), startsBefore);
}

int LogRecords::size() const { return static_cast<int>(records.size()); }

const LogRecord& LogRecords::getRecord(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= records.size())
        throw std::out_of_range("vector");
    LT_ASSERT_TEXT(records[static_cast<std::size_t>(index)].getId() == index,
                   "records.at(index)->getId() == index");
    return records[static_cast<std::size_t>(index)];
}

const std::string& LogRecords::getConnectionName(const LogRecord* rec) const
{
    LT_ASSERT(rec);
    return entryNames.nameOf(rec->getEntryId());
}

const std::string& LogRecords::getPhone(const LogRecord* rec) const
{
    LT_ASSERT(rec);
    return phones.nameOf(rec->getPhoneId());
}

LogReader::LogReader(const std::string& fileName)
    : fileName(fileName), buffer(1024), file(fileName), mutex(openStatisticsMutex())
{
}

LogReader::LogReader(const std::string& fileName, TDateTime day)
    : fileName(fileName), buffer(1024), dayFilter(true), day(std::floor(day)), file(fileName),
      mutex(openStatisticsMutex())
{
}

bool LogReader::readRecord(LogRecordFields& record)
{
    if (atEnd || !file.isOpen())
        return false;
    const std::int64_t frameStart = file.position();
    unsigned char length[2];
    const std::size_t got = file.read(length, 2);
    if (got < 2) {
        // Stand before a partial length, so that the next pass reads the
        // frame whole instead of misreading from its second byte.
        if (got > 0)
            file.seek(frameStart);
        atEnd = true;
        return false;
    }
    const int size = length[0] | (length[1] << 8);
    if (buffer.getCapacity() < size)
        buffer.SetCapacity(size);
    const std::int64_t recordOffset = file.position();
    if (file.read(buffer.getData(), static_cast<std::size_t>(size)) < static_cast<std::size_t>(size)) {
        // A torn frame: the service cuts it off before its next append, so
        // the next pass must start again at this frame.
        file.seek(frameStart);
        atEnd = true;
        throw LTDataCorruptedException("Unexpected end of file!");
    }
    buffer.Scramble(size, static_cast<unsigned char>(recordOffset & 0xFF));
    buffer.Unpack(size, record);
    return true;
}

bool LogReader::dayAccepts(TDateTime start) const
{
    LT_ASSERT(std::floor(day) == day);
    return day <= start && start < day + 1;
}

template <class Accept> void LogReader::pass(Accept&& accept)
{
    platform::NamedLockGuard locked(mutex);
    atEnd = false;
    LogRecordFields record;
    while (readRecord(record))
        if (!dayFilter || dayAccepts(record.start))
            accept(record);
}

void LogReader::readAll(LogRecords& records)
{
    pass([&records](const LogRecordFields& r) {
        records.add(r.type, r.entryName, r.deviceType, r.deviceName, r.phoneNumber, r.userName, r.start, r.end,
                    r.sent, r.received);
    });
    records.sortByStart();
}

void LogReader::readEntryNames(DataList& entryNames)
{
    pass([&entryNames](const LogRecordFields& r) { entryNames.idOf(r.entryName); });
}
