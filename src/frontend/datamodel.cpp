#include "frontend/datamodel.h"

#include "common/common.h"
#include "common/dbglogger.h"
#include "common/lanstatcollector.h"
#include "common/ltassert.h"
#include "platform/files.h"
#include "platform/ras.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <exception>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <locale>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <utility>

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

bool readLine(std::istream& in, std::string& line)
{
    if (!std::getline(in, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

constexpr std::string_view blanks = " \t\r\v\f";

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) + 1 - first);
}

std::vector<std::string_view> fieldsOf(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (std::size_t at = line.find_first_not_of(blanks); at != std::string_view::npos;
         at = line.find_first_not_of(blanks, at)) {
        const std::size_t end = std::min(line.find_first_of(blanks, at), line.size());
        fields.push_back(line.substr(at, end - at));
        at = end;
    }
    return fields;
}

// A '+' sign as stream input took it; from_chars takes none.
std::string_view withoutPlus(std::string_view text)
{
    return text.size() > 1 && text[0] == '+' && text[1] != '-' ? text.substr(1) : text;
}

// The whole text must be the number: "3x", "0.05x" or "0,05" is none.
bool parseCount(std::string_view text, int& count)
{
    text = withoutPlus(text);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    return error == std::errc() && end == text.data() + text.size() && count >= 0;
}

bool parsePrice(std::string_view text, double& price)
{
    text = withoutPlus(text);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), price);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(price);
}

// A two-digit year would be read as 20yy, whatever century was meant; save
// always writes four digits, and no other date field has more than two.
bool hasFourDigitYear(std::string_view date)
{
    int run = 0;
    for (const char c : date) {
        run = std::isdigit(static_cast<unsigned char>(c)) ? run + 1 : 0;
        if (run == 4)
            return true;
    }
    return false;
}

// The offending text in quotes, cut short (at a character's start) when a
// damaged file holds a huge line.
std::string inQuotes(std::string_view text)
{
    constexpr std::size_t shown = 64;
    if (text.size() <= shown)
        return "'" + std::string(text) + "'";
    std::size_t cut = shown;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return "'" + std::string(text.substr(0, cut)) + "...'";
}

} // namespace

void Prices::load(const std::string& fileName)
{
    damagedFile.clear();
    // A folder, device or FIFO is never read: a FIFO would block the
    // monitor, a device might never end.
    if (const int error = platform::readableFileError(fileName); error == EISDIR || error == EINVAL)
        throw LTException(fileName + ": " + platform::fileErrorText(error));
    std::ifstream in(fileName, std::ios::binary);
    if (!in.is_open())
        return;
    std::string line;
    int lineNumber = 0;
    const auto next = [&] {
        if (!readLine(in, line))
            return false;
        ++lineNumber;
        return true;
    };
    // What was read so far stays in the table; save keeps the file aside
    // before it writes over it.
    const auto refusal = [&](const std::string& what) {
        damagedFile = fileName;
        return LTException(fileName + ", line " + std::to_string(lineNumber) + ": " + what);
    };
    // The end of the file ends the table wherever it comes: a file cut
    // short loses nothing that followed.
    while (next() && !line.empty()) { // an empty name line ends the table
        const std::string name = line;
        if (!next())
            return;
        int count = 0;
        if (!parseCount(trimmed(line), count))
            throw refusal(inQuotes(line) + " is not an item count");
        const int id = entryNames->idOf(name);
        for (int i = 0; i < count && next(); ++i) {
            const std::vector<std::string_view> fields = fieldsOf(line);
            if (fields.size() != 3)
                throw refusal(inQuotes(line) + " is not an item (date, upload price, download price)");
            TDateTime date = 0;
            if (!TryStrToDate(fields[0], date))
                throw refusal(inQuotes(fields[0]) + " is not a valid date");
            if (!hasFourDigitYear(fields[0]))
                throw refusal(inQuotes(fields[0]) + " is not a valid date (the year needs four digits)");
            double upload = 0, download = 0;
            if (!parsePrice(fields[1], upload))
                throw refusal(inQuotes(fields[1]) + " is not a price");
            if (!parsePrice(fields[2], download))
                throw refusal(inQuotes(fields[2]) + " is not a price");
            // A negative price cannot be in force: the item is left out.
            // Adding zero turns a "-0" into 0.
            if (upload >= 0 && download >= 0)
                setPrice(id, date, upload + 0.0, download + 0.0);
        }
    }
}

namespace {

// Copies the file to the first free name of NAME.bak, NAME.bak.1,
// NAME.bak.2 ...: a copy kept earlier is never replaced, and the file stays
// in place should the writing fail.
void keepCopyOf(const std::string& fileName)
{
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::exists(fileName, error))
        return; // gone since it was loaded: nothing left to keep
    for (int n = 0; n < 1000; ++n) {
        const std::string copy = fileName + ".bak" + (n == 0 ? "" : "." + std::to_string(n));
        if (fs::copy_file(fileName, copy, fs::copy_options::none, error))
            return;
        if (error != std::errc::file_exists)
            throw LTException("Can't keep a copy of " + fileName + " as " + copy + ": " + error.message() +
                              "; the prices were not saved.");
    }
    throw LTException("Can't keep a copy of " + fileName + ": " + fileName +
                      ".bak to .bak.999 all exist; the prices were not saved.");
}

bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    return a == b || std::filesystem::equivalent(a, b, error);
}

} // namespace

void Prices::save(const std::string& fileName) const
{
    if (!damagedFile.empty() && sameFile(damagedFile, fileName)) {
        keepCopyOf(fileName);
        damagedFile.clear();
    }
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

double megabytesOf(std::uint64_t bytes) { return static_cast<double>(bytes) * (1.0 / 1048576.0); }

// Scaling by 2^-20 is exact, so the order of the factors changes nothing.
double costOfBytes(std::uint64_t bytes, double pricePerMb) { return megabytesOf(bytes) * pricePerMb; }

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

void addInterfaceNames(DataList& entryNames, std::string* interfacesError)
{
    try {
        LanStatisticsCollector interfaces(nullptr, false);
        interfaces.refresh();
        for (int i = 0; i < interfaces.count(); ++i)
            entryNames.idOf(interfaces.getName(i));
    } catch (const LTException& e) {
        // Without the interface table the other sources still name entries.
        if (!interfacesError)
            throw;
        *interfacesError = e.what();
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
        }
    }
}

void readWholeLog(const std::function<void()>& pass)
{
    std::exception_ptr first;
    readPastCorruption(pass, [&first](const LTDataCorruptedException&) {
        if (!first)
            first = std::current_exception();
    });
    if (first)
        std::rethrow_exception(first);
}

void loadEntryNamesAndPrices(RasProvider& ras, DataList& entryNames, Prices& prices, const std::string& logFile,
                             const std::string& priceFile, bool withInterfaces,
                             const std::function<void(const LTDataCorruptedException&)>& onCorrupted,
                             std::string* priceFileError, std::string* interfacesError)
{
    if (withInterfaces)
        addInterfaceNames(entryNames, interfacesError);
    LogReader reader(logFile);
    if (onCorrupted)
        readPastCorruption([&] { reader.readEntryNames(entryNames); }, onCorrupted);
    else
        reader.readEntryNames(entryNames);
    addPhoneBookNames(ras, entryNames);
    try {
        prices.load(priceFile);
    } catch (const LTException& e) {
        // The table keeps what came before the failure, as it keeps the
        // names registered on the way.
        if (priceFileError)
            *priceFileError = e.what();
    }
    if (entryNames.size() == 0)
        entryNames.idOf("<DUMMY CONNECTION>");
}
