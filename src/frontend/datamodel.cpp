#include "frontend/datamodel.h"

#include "common/common.h"
#include "common/dbglogger.h"
#include "common/lanstatcollector.h"
#include "common/ltassert.h"
#include "platform/ras.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iomanip>
#include <locale>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace {

const std::string emptyText;

bool startsBefore(const LogRecord* a, const LogRecord* b) { return a->getStart() < b->getStart(); }

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

// ---- prices ----------------------------------------------------------------

Prices::PriceItem::PriceItem(double uploadPrice, double downloadPrice)
    : uploadPrice(uploadPrice), downloadPrice(downloadPrice)
{
    LT_ASSERT(uploadPrice >= 0 && downloadPrice >= 0);
}

Prices::Prices(DataList* entryNames) : entryNames(entryNames)
{
    LT_ASSERT_TEXT(entryNames, "this->entryNames");
    prices.resize(static_cast<std::size_t>(entryNames->size()));
}

Prices::Items& Prices::itemsOf(int entryId)
{
    if (prices.size() < static_cast<std::size_t>(entryNames->size()))
        prices.resize(static_cast<std::size_t>(entryNames->size()));
    if (entryId < 0 || static_cast<std::size_t>(entryId) >= prices.size())
        throw std::out_of_range("vector");
    return prices[static_cast<std::size_t>(entryId)];
}

const Prices::Items* Prices::findItems(int entryId) const
{
    if (entryId < 0 || entryId >= entryNames->size())
        throw std::out_of_range("vector");
    return static_cast<std::size_t>(entryId) < prices.size() ? &prices[static_cast<std::size_t>(entryId)] : nullptr;
}

void Prices::setPrice(int entryId, TDateTime date, double uploadPrice, double downloadPrice)
{
    Items& items = itemsOf(entryId);
    items.insert_or_assign(std::floor(date), PriceItem(uploadPrice, downloadPrice));
}

bool Prices::getPrice(int entryId, TDateTime moment, double& uploadPrice, double& downloadPrice) const
{
    const Items* items = findItems(entryId);
    if (!items || items->empty())
        return false;
    auto after = items->upper_bound(moment); // the first item dated after the moment
    if (after == items->begin())
        return false;
    --after;
    uploadPrice = after->second.uploadPrice;
    downloadPrice = after->second.downloadPrice;
    return true;
}

void Prices::removePrice(int entryId, TDateTime date) { itemsOf(entryId).erase(date); }

int Prices::size() const
{
    std::size_t total = 0;
    for (const Items& items : prices)
        total += items.size();
    return static_cast<int>(total);
}

void Prices::getItem(int index, int& entryId, TDateTime& date, double& uploadPrice, double& downloadPrice) const
{
    LT_ASSERT(index >= 0 && index < size());
    for (std::size_t id = 0; id < prices.size(); ++id) {
        if (static_cast<std::size_t>(index) >= prices[id].size()) {
            index -= static_cast<int>(prices[id].size());
            continue;
        }
        auto item = std::next(prices[id].begin(), index);
        entryId = static_cast<int>(id);
        date = item->first;
        uploadPrice = item->second.uploadPrice;
        downloadPrice = item->second.downloadPrice;
        return;
    }
}

namespace {

// Reads the rest of a line and drops it; a line may end in CR LF.
void skipLine(std::istream& in) { in.ignore(std::numeric_limits<std::streamsize>::max(), '\n'); }

bool readLine(std::istream& in, std::string& line)
{
    if (!std::getline(in, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

} // namespace

void Prices::load(const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in.is_open())
        return;
    in.imbue(std::locale::classic()); // '.' whatever the user's locale
    std::string name;
    do {
        if (!readLine(in, name))
            break;
        int count = 0;
        in >> count;
        skipLine(in);
        if (!in || name.empty())
            break;
        const int id = entryNames->idOf(name);
        for (int i = 0; i < count && in; ++i) {
            std::string dateText;
            double upload = 0, download = 0;
            in >> dateText >> upload >> download;
            if (!in)
                break;
            TDateTime date = 0;
            if (!TryStrToDate(dateText, date))
                throw LTException("'" + dateText + "' is not a valid date");
            // A negative price cannot be in force: the item is left out.
            if (upload >= 0 && download >= 0)
                setPrice(id, date, upload, download);
        }
        if (in && count > 0)
            skipLine(in);
    } while (in && !name.empty());
}

void Prices::save(const std::string& fileName) const
{
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out.is_open())
        return;
    out.imbue(std::locale::classic());
    for (std::size_t id = 0; id < prices.size(); ++id) {
        if (prices[id].empty())
            continue;
        out << entryNames->nameOf(static_cast<int>(id)) << '\n' << prices[id].size() << '\n';
        for (const auto& [date, item] : prices[id])
            out << DateToStr(date) << ' ' << item.uploadPrice << ' ' << item.downloadPrice << '\n';
    }
}

double costOfBytes(std::uint64_t bytes, double pricePerMb)
{
    return static_cast<double>(static_cast<std::int64_t>(bytes)) * pricePerMb * (1.0 / 1048576.0);
}

// ---- filters and totals ----------------------------------------------------

RecordFilter_byConnectionName::RecordFilter_byConnectionName(DataList* entryNames, int connectionId)
    : entryNames(entryNames), connectionId(connectionId)
{
    LT_ASSERT(entryNames);
}

bool LogRecords::costOf(const LogRecord& record, double& uploadCost, double& downloadCost, double& cost) const
{
    double uploadPrice = 0, downloadPrice = 0;
    if (!prices.getPrice(record.getEntryId(), record.getStart(), uploadPrice, downloadPrice))
        return false;
    uploadCost = costOfBytes(record.getSent(), uploadPrice);
    downloadCost = costOfBytes(record.getReceived(), downloadPrice);
    cost = uploadCost + downloadCost;
    return true;
}

Total4Period LogRecords::totalFor(TDateTime start, double length, const RecordFilter& filter) const
{
    Total4Period total;
    total.start = start;
    const TDateTime periodEnd = start + length;
    auto at = std::lower_bound(sortedByStart.begin(), sortedByStart.end(), start,
                               [](const LogRecord* r, TDateTime t) { return r->getStart() < t; });
    for (; at != sortedByStart.end() && (*at)->getStart() < periodEnd; ++at) {
        const LogRecord& record = **at;
        if (!filter.accept(record))
            continue;
        total.sent += record.getSent();
        total.received += record.getReceived();
        double upload = 0, download = 0, cost = 0;
        if (!costOf(record, upload, download, cost))
            total.costsUnknown = true;
        if (!total.costsUnknown) {
            total.uploadCost += upload;
            total.downloadCost += download;
        }
    }
    return total;
}

void LogRecords::totalsFor(TDateTime start, double length, int count, const RecordFilter& filter,
                           listOfTotals& totals) const
{
    LT_ASSERT(count > 0);
    totals.clear();
    TDateTime t = start;
    for (int i = 0; i < count; ++i) {
        totals.push_back(totalFor(t, length, filter));
        t += length;
    }
}

Total4Period LogRecords::totalOfAll(const RecordFilter& filter) const
{
    if (sortedByStart.empty()) {
        Total4Period none;
        none.start = Now();
        return none;
    }
    const TDateTime first = sortedByStart.front()->getStart();
    const TDateTime last = sortedByStart.back()->getStart();
    return totalFor(first, (last + 1) - first, filter);
}

Total4Period sumOfTotals(const listOfTotals& totals)
{
    LT_ASSERT(totals.size() > 0);
    Total4Period sum;
    sum.start = totals.front().start;
    for (const Total4Period& t : totals) {
        sum.sent += t.sent;
        sum.received += t.received;
        if (t.costsUnknown)
            sum.costsUnknown = true;
        if (!sum.costsUnknown) {
            sum.uploadCost += t.uploadCost;
            sum.downloadCost += t.downloadCost;
        }
    }
    return sum;
}

Total4Period operator+(const Total4Period& a, const Total4Period& b)
{
    Total4Period sum;
    sum.start = a.start;
    sum.sent = a.sent + b.sent;
    sum.received = a.received + b.received;
    sum.uploadCost = (a.costsUnknown ? 0 : a.uploadCost) + (b.costsUnknown ? 0 : b.uploadCost);
    sum.downloadCost = (a.costsUnknown ? 0 : a.downloadCost) + (b.costsUnknown ? 0 : b.downloadCost);
    sum.costsUnknown = a.costsUnknown || b.costsUnknown;
    return sum;
}

// ---- pager -----------------------------------------------------------------

LogRecordsPager::LogRecordsPager(int pageSize, const LogRecords& records, const RecordFilter& filter)
    : pageSize(pageSize), records(records), filter(filter)
{
    LT_ASSERT(pageSize > 0);
    int accepted = 0;
    for (int id = 0; id < records.size(); ++id)
        if (filter.accept(records.getRecord(id)) && accepted++ % pageSize == 0)
            pageStarts.push_back(id);
    pagesCount = pageStarts.empty() ? 1 : static_cast<int>(pageStarts.size());
}

void LogRecordsPager::getPage(int pageNum, listOfRecords& page) const
{
    LT_ASSERT(pageNum > 0 && pageNum <= pagesCount);
    page.clear();
    if (pageStarts.empty())
        return;
    for (int id = pageStarts[static_cast<std::size_t>(pageNum - 1)];
         id < records.size() && static_cast<int>(page.size()) < pageSize; ++id) {
        const LogRecord& record = records.getRecord(id);
        if (filter.accept(record))
            page.push_back(&record);
    }
}

// ---- start-up filling --------------------------------------------------------

namespace {

void addInterfaceNames(DataList& entryNames)
{
    try {
        LanStatisticsCollector interfaces(nullptr, false);
        interfaces.refresh();
        for (int i = 0; i < interfaces.count(); ++i)
            entryNames.idOf(interfaces.getName(i));
    } catch (const LTException&) {
        // Without the interface table the other sources still name entries.
    }
}

void addPhoneBookNames(RasProvider& ras, DataList& entryNames)
{
    RASENTRYNAMEA probe{};
    probe.dwSize = sizeof probe;
    DWORD bytes = sizeof probe, count = 0;
    DWORD result = RasEnumEntriesA(ras, nullptr, nullptr, &probe, &bytes, &count);
    if (result == 0) {
        for (DWORD i = 0; i < count && i < 1; ++i)
            entryNames.idOf(probe.szEntryName);
        return;
    }
    if (result != ERROR_BUFFER_TOO_SMALL || bytes < sizeof(RASENTRYNAMEA))
        return;
    std::vector<RASENTRYNAMEA> entries(bytes / sizeof(RASENTRYNAMEA));
    entries[0].dwSize = sizeof(RASENTRYNAMEA);
    if (RasEnumEntriesA(ras, nullptr, nullptr, entries.data(), &bytes, &count) != 0)
        return;
    for (DWORD i = 0; i < count && i < entries.size(); ++i)
        entryNames.idOf(entries[i].szEntryName);
}

} // namespace

void readPastCorruption(const std::function<void()>& pass,
                        const std::function<void(const LTDataCorruptedException&)>& onCorrupted)
{
    for (;;) {
        try {
            pass();
            return;
        } catch (const LTDataCorruptedException& e) {
            onCorrupted(e);
            // A torn frame stays where it is until the service repairs it.
            if (std::string_view(e.what()) == "Unexpected end of file!")
                return;
        }
    }
}

void loadEntryNamesAndPrices(RasProvider& ras, DataList& entryNames, Prices& prices, const std::string& logFile,
                             const std::string& priceFile, bool withInterfaces,
                             const std::function<void(const LTDataCorruptedException&)>& onCorrupted,
                             std::string* priceFileError)
{
    if (withInterfaces)
        addInterfaceNames(entryNames);
    LogReader reader(logFile);
    if (onCorrupted)
        readPastCorruption([&] { reader.readEntryNames(entryNames); }, onCorrupted);
    else
        reader.readEntryNames(entryNames);
    addPhoneBookNames(ras, entryNames);
    try {
        prices.load(priceFile);
    } catch (const LTException& e) {
        prices = Prices(&entryNames); // names it registered stay registered
        if (priceFileError)
            *priceFileError = e.what();
    }
    if (entryNames.size() == 0)
        entryNames.idOf("<DUMMY CONNECTION>");
}
