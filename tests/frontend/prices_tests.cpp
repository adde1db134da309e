#include "common/dbglogger.h"
#include "fakes/scripted_ras.h"
#include "frontend/datamodel.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <clocale>
#include <fstream>

namespace {

struct Table {
    DataList names;
    Prices prices{&names};
    int isp = names.idOf("Office modem");
};

std::pair<double, double> priceAt(const Prices& p, int id, TDateTime t)
{
    double up = -1, down = -1;
    return p.getPrice(id, t, up, down) ? std::make_pair(up, down) : std::make_pair(-1.0, -1.0);
}

std::string priceFile(const std::string& text)
{
    const std::string path = testenv::freshFolder("prices") + "/prices.txt";
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

} // namespace

TEST(Prices, puts_an_item_in_force_from_its_midnight_to_the_next_items)
{
    Table t;
    t.prices.setPrice(t.isp, EncodeDate(2004, 3, 1) + 0.75, 0.05, 0.02);
    t.prices.setPrice(t.isp, EncodeDate(2004, 7, 1), 0.04, 0.04);
    const TDateTime minute = EncodeTime(23, 59, 0, 0);
    EXPECT_EQ(priceAt(t.prices, t.isp, EncodeDate(2004, 2, 29) + minute).first, -1.0);
    EXPECT_EQ(priceAt(t.prices, t.isp, EncodeDate(2004, 3, 1)), std::make_pair(0.05, 0.02));
    EXPECT_EQ(priceAt(t.prices, t.isp, EncodeDate(2004, 6, 30) + minute), std::make_pair(0.05, 0.02));
    EXPECT_EQ(priceAt(t.prices, t.isp, EncodeDate(2004, 7, 1)), std::make_pair(0.04, 0.04));

    t.prices.setPrice(t.isp, EncodeDate(2004, 7, 1) + 0.4, 0.03, 0.01); // same day: replaces
    EXPECT_EQ(t.prices.size(), 2);
    int id;
    TDateTime date;
    double up, down;
    t.prices.getItem(1, id, date, up, down);
    EXPECT_EQ(date, EncodeDate(2004, 7, 1));
    EXPECT_EQ(up, 0.03);
    t.prices.removePrice(t.isp, date);
    EXPECT_EQ(t.prices.size(), 1);
    const int later = t.names.idOf("added later"); // gets an empty map on first use
    EXPECT_EQ(priceAt(t.prices, later, EncodeDate(2004, 7, 1)).first, -1.0);
    EXPECT_THROW(t.prices.setPrice(later + 1, 0, 1, 1), std::out_of_range);
}

TEST(Prices, saves_and_loads_back_to_six_significant_digits_in_any_locale)
{
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        if (!std::setlocale(LC_ALL, locale))
            continue; // not generated on this machine
        Table t;
        t.names.idOf("never priced");
        const int other = t.names.idOf("eth0 with spaces");
        t.prices.setPrice(t.isp, EncodeDate(1999, 3, 1), 0.0512345678, 0.02); // a two-digit year would come back as 2099
        t.prices.setPrice(other, EncodeDate(2026, 12, 31), 0, 1234.5);
        const std::string path = priceFile("");
        t.prices.save(path);
        DataList names;
        Prices loaded(&names);
        loaded.load(path);
        std::setlocale(LC_ALL, "C");
        ASSERT_EQ(loaded.size(), 2) << locale;
        EXPECT_EQ(names.size(), 2); // the entry without items was not written
        const int id = names.findId("eth0 with spaces");
        ASSERT_GE(id, 0);
        EXPECT_EQ(priceAt(loaded, id, EncodeDate(2026, 12, 31)), std::make_pair(0.0, 1234.5));
        EXPECT_EQ(priceAt(loaded, names.findId("Office modem"), EncodeDate(1999, 3, 1)).first, 0.0512346) << locale;
    }
}

TEST(Prices, stops_loading_where_the_file_stops_making_sense_and_keeps_what_came_before)
{
    struct Case {
        const char* text;
        int items;
        int names;
    } cases[] = {
        {"\nOffice modem\n1\n2004-03-01 1 1\n", 0, 0},                                    // empty first line
        {"A\n3\n2004-03-01 1 1\n2004-03-02 1 1\n", 2, 1},                                 // short last block
        {"A\n0\nB\n1\n2004-03-01 1 1\n", 1, 2},                                           // zero-item block
        {"A\nx\nB\n1\n2004-03-01 1 1\n", 0, 0},                                           // bad count
        {"A\r\n2\r\n2004-03-01 1 1\r\n2004-03-02 -1 1\r\nB\r\n1\r\n2004-03-03 2 2\r\n", 2, 2}, // CRLF, negative skipped
    };
    for (const Case& c : cases) {
        Table t;
        DataList names;
        Prices loaded(&names);
        loaded.load(priceFile(c.text));
        EXPECT_EQ(loaded.size(), c.items) << c.text;
        EXPECT_EQ(names.size(), c.names) << c.text;
    }
}

TEST(Prices, at_a_date_it_cannot_convert_the_start_up_continues_with_an_empty_table)
{
    ScriptedRas noPhoneBook;
    DataList names;
    Prices prices(&names);
    const std::string path = priceFile("A\n2\n2004-03-01 1 1\n31/31/2004 1 1\n");
    EXPECT_THROW(Prices(&names).load(path), LTException);
    loadEntryNamesAndPrices(noPhoneBook, names, prices, testenv::root() + "/no-log", path, false);
    EXPECT_EQ(prices.size(), 0);
    EXPECT_EQ(names.nameOf(0), "A"); // registered before the failure: stays
}

TEST(EntryNames, fall_back_to_the_dummy_connection_when_nothing_names_one)
{
    ScriptedRas noPhoneBook;
    DataList names;
    Prices prices(&names);
    loadEntryNamesAndPrices(noPhoneBook, names, prices, testenv::root() + "/no-log", testenv::root() + "/no-prices",
                            false);
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(names.nameOf(0), "<DUMMY CONNECTION>");
}
