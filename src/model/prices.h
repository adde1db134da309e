// The user's price table "prices.txt", and the money of bytes at a price.
#pragma once

#include "common/datetime.h"
#include "model/datalist.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

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
// A price whose cost of 2^40 megabytes (a lifetime of traffic) is still a
// finite number: larger ones would show "inf" in every total.
bool isCostablePrice(double pricePerMb);
