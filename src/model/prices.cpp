#include "model/prices.h"

#include "common/ltassert.h"
#include "errors/ltexception.h"
#include "platform/files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <locale>
#include <sstream>
#include <stdexcept>

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
    return error == std::errc() && end == text.data() + text.size() && isCostablePrice(price);
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
    // monitor, a device might never end. A file that is there but cannot be
    // read is kept aside before a save writes over it.
    if (const int error = platform::readableFileError(fileName); error != 0 && error != ENOENT) {
        damagedFile = fileName;
        throw LTException(fileName + ": " + platform::fileErrorText(error));
    }
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
    std::ostringstream out;
    out.imbue(std::locale::classic());
    for (std::size_t id = 0; id < prices.size(); ++id) {
        if (prices[id].empty())
            continue;
        out << entryNames->nameOf(static_cast<int>(id)) << '\n' << prices[id].size() << '\n';
        for (const auto& [date, item] : prices[id])
            out << DateToISO(date) << ' ' << item.uploadPrice << ' ' << item.downloadPrice << '\n';
    }
    if (const int error = platform::replaceFileContents(fileName, out.str(), 0644); error != 0)
        throw LTException("Can't write " + fileName + ": " + platform::fileErrorText(error) +
                          "; the prices were not saved (the table as edited is in use until the monitor ends).");
}

double megabytesOf(std::uint64_t bytes) { return static_cast<double>(bytes) * (1.0 / 1048576.0); }

// Scaling by 2^-20 is exact, so the order of the factors changes nothing.
double costOfBytes(std::uint64_t bytes, double pricePerMb) { return megabytesOf(bytes) * pricePerMb; }

bool isCostablePrice(double pricePerMb) { return std::isfinite(pricePerMb * 1099511627776.0); }
