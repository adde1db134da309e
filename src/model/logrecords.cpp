#include "model/logrecords.h"

#include "common/ltassert.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace {

bool startsBefore(const LogRecord* a, const LogRecord* b) { return a->getStart() < b->getStart(); }

} // namespace

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

RecordFilter_byConnectionName::RecordFilter_byConnectionName(DataList* entryNames, int connectionId)
    : entryNames(entryNames), connectionId(connectionId)
{
    LT_ASSERT(entryNames);
}

bool costsAt(const Prices& prices, int entryId, TDateTime moment, std::uint64_t sent, std::uint64_t received,
             double& uploadCost, double& downloadCost)
{
    double uploadPrice = 0, downloadPrice = 0;
    if (!prices.getPrice(entryId, moment, uploadPrice, downloadPrice))
        return false;
    uploadCost = costOfBytes(sent, uploadPrice);
    downloadCost = costOfBytes(received, downloadPrice);
    return true;
}

bool LogRecords::costOf(const LogRecord& record, double& uploadCost, double& downloadCost, double& cost) const
{
    if (!costsAt(prices, record.getEntryId(), record.getStart(), record.getSent(), record.getReceived(), uploadCost,
                 downloadCost))
        return false;
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
        total.addRecord(prices, record.getEntryId(), record.getStart(), record.getSent(), record.getReceived());
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

std::uint64_t saturatingSum(std::uint64_t a, std::uint64_t b)
{
    std::uint64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<std::uint64_t>::max() : sum;
}

void Total4Period::addBytes(std::uint64_t moreSent, std::uint64_t moreReceived)
{
    sent = saturatingSum(sent, moreSent);
    received = saturatingSum(received, moreReceived);
}

void Total4Period::addRecord(const Prices& prices, int entryId, TDateTime recordStart, std::uint64_t moreSent,
                             std::uint64_t moreReceived)
{
    addBytes(moreSent, moreReceived);
    double upload = 0, download = 0;
    if (!costsAt(prices, entryId, recordStart, moreSent, moreReceived, upload, download))
        costsUnknown = true;
    if (!costsUnknown) {
        uploadCost += upload;
        downloadCost += download;
    }
}

Total4Period sumOfTotals(const listOfTotals& totals)
{
    LT_ASSERT(totals.size() > 0);
    Total4Period sum;
    sum.start = totals.front().start;
    for (const Total4Period& t : totals) {
        sum.addBytes(t.sent, t.received);
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
    sum.sent = a.sent;
    sum.received = a.received;
    sum.addBytes(b.sent, b.received);
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
