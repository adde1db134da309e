#include "common/dbglogger.h"
#include "fakes/scripted_ras.h"
#include "model/datamodel.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(Prices, writes_dates_that_mean_the_same_day_under_every_locale_and_still_reads_the_locales_short_date)
{
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not generated here";
    Table t;
    t.prices.setPrice(t.isp, EncodeDate(2021, 12, 10), 1, 2);
    const std::string path = priceFile("");
    t.prices.save(path);
    const std::string older = priceFile("Office modem\n1\n12.10.2021 3 4\n"); // a German short date
    DataList names, olderNames;
    Prices loaded(&names), olderLoaded(&olderNames);
    olderLoaded.load(older);
    std::setlocale(LC_ALL, "C");
    loaded.load(path);
    std::ifstream in(path);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(text, "Office modem\n1\n2021-12-10 1 2\n");
    EXPECT_EQ(priceAt(loaded, 0, EncodeDate(2021, 12, 10)), std::make_pair(1.0, 2.0));
    EXPECT_EQ(priceAt(olderLoaded, 0, EncodeDate(2021, 10, 12)), std::make_pair(3.0, 4.0));
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
        {"A\r\n2\r\n2004-03-01 1 1\r\n2004-03-02 -1 1\r\nB\r\n1\r\n2004-03-03 2 2\r\n", 2, 2}, // CRLF, negative skipped
        {"A\n 2 \n2004-03-01\t+1  .5\n2004-03-02 -0 1\n", 2, 1},                             // blanks, signs
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

TEST(Prices, refuses_a_value_that_makes_no_sense_naming_the_file_line_and_text_and_keeps_what_came_before)
{
    const std::string good = "A\n1\n2004-03-01 1 1\n";
    const std::string notAnItem = "' is not an item (date, upload price, download price)";
    struct Case {
        std::string text;
        std::string message; // after the file's path
        int items;
        int names;
    } cases[] = {
        {good + "B\n2\n2004-03-01 0.05 1\n2004-03-02 0,05 1\nC\n1\n2004-03-01 1 1\n",
         ", line 7: '0,05' is not a price", 2, 2},
        {good + "B\n-1\n2004-03-01 1 1\n", ", line 5: '-1' is not an item count", 1, 1},
        {good + "B\n2147483648\n", ", line 5: '2147483648' is not an item count", 1, 1},
        {"A\nx\nB\n1\n2004-03-01 1 1\n", ", line 2: 'x' is not an item count", 0, 0},
        {good + "B\n1\n2004-03-01 nan 1\n", ", line 6: 'nan' is not a price", 1, 2},
        {good + "B\n1\n2004-03-01 1 inf\n", ", line 6: 'inf' is not a price", 1, 2},
        {good + "B\n1\n2004-03-01 1e309 1\n", ", line 6: '1e309' is not a price", 1, 2},
        {good + "B\n1\n2004-03-01 1e308 1\n", ", line 6: '1e308' is not a price", 1, 2}, // its costs: inf
        {good + "B\n1\n2004-03-01 1 0.05x\n", ", line 6: '0.05x' is not a price", 1, 2},
        {good + "B\n1\n2004-03-01 1 1 1\n", ", line 6: '2004-03-01 1 1 1" + notAnItem, 1, 2},
        {"A\r\n2\r\n2004-03-01 1 1\r\n2004-03-02 1\r\n", ", line 4: '2004-03-02 1" + notAnItem, 1, 1},
        {"A\n2\n2004-03-01 1 1\nB\n1\n2004-03-01 1 1\n", ", line 4: 'B" + notAnItem, 1, 1},
        {good + "B\n1\n31/31/2004 1 1\n", ", line 6: '31/31/2004' is not a valid date", 1, 2},
        {good + "B\n1\n03/01/99 1 1\n", ", line 6: '03/01/99' is not a valid date (the year needs four digits)", 1, 2},
    };
    for (const Case& c : cases) {
        const std::string path = priceFile(c.text);
        DataList names;
        Prices loaded(&names);
        try {
            loaded.load(path);
            ADD_FAILURE() << "no failure for " << c.text;
        } catch (const LTException& e) {
            EXPECT_EQ(e.what(), path + c.message);
        }
        EXPECT_EQ(loaded.size(), c.items) << c.text;
        EXPECT_EQ(names.size(), c.names) << c.text;
    }
}

TEST(Prices, at_a_date_it_cannot_convert_the_start_up_keeps_what_came_before_and_says_where_it_stopped)
{
    ScriptedRas noPhoneBook;
    DataList names;
    Prices prices(&names);
    const std::string path = priceFile("A\n2\n2004-03-01 1 1\n31/31/2004 1 1\n");
    std::string error;
    loadEntryNamesAndPrices(noPhoneBook, names, prices, testenv::root() + "/no-log", path, false, {}, &error);
    EXPECT_EQ(error, path + ", line 4: '31/31/2004' is not a valid date");
    EXPECT_EQ(prices.size(), 1);
    EXPECT_EQ(names.nameOf(0), "A");
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

TEST(Prices, keeps_a_file_that_failed_to_load_before_the_first_save_over_it_and_never_replaces_a_kept_one)
{
    const std::string damaged = "A\r\n1\r\n2004-03-01 1 1\r\nB\r\n1\r\n2004-03-01 0,05 1\r\nC\r\n";
    const std::string path = priceFile(damaged);
    DataList names;
    Prices prices(&names);
    EXPECT_THROW(prices.load(path), LTException);
    prices.save(path);
    EXPECT_EQ(testenv::readFile(path + ".bak"), damaged);
    EXPECT_EQ(testenv::readFile(path), "A\n1\n2004-03-01 1 1\n");
    prices.save(path); // the file holds a sound table now: nothing more to keep
    EXPECT_FALSE(std::filesystem::exists(path + ".bak.1"));

    std::ofstream(path, std::ios::binary) << "A\n1\n2004-03-01 nan 1\n";
    Prices again(&names);
    EXPECT_THROW(again.load(path), LTException);
    Prices copy = again; // the price editor's copy, put back on cancel
    copy.save(path);
    EXPECT_EQ(testenv::readFile(path + ".bak"), damaged);
    EXPECT_EQ(testenv::readFile(path + ".bak.1"), "A\n1\n2004-03-01 nan 1\n");
}

TEST(Prices, refuses_a_folder_or_a_fifo_instead_of_waiting_on_it)
{
    const std::string folder = testenv::freshFolder("notafile");
    DataList names;
    Prices prices(&names);
    try {
        prices.load(folder);
        ADD_FAILURE() << "a folder loaded";
    } catch (const LTException& e) {
        EXPECT_EQ(std::string(e.what()), folder + ": it is a folder");
    }
    const std::string fifo = folder + "/prices.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    try {
        prices.load(fifo); // no writer will ever come
        ADD_FAILURE() << "a FIFO loaded";
    } catch (const LTException& e) {
        EXPECT_EQ(std::string(e.what()), fifo + ": it is not a regular file");
    }
}

TEST(Prices, says_why_a_file_cannot_be_read_or_written_and_never_writes_over_one_it_could_not_read)
{
    const std::string folder = testenv::freshFolder("unreadable");
    const std::string loop = folder + "/prices.txt";
    std::filesystem::create_symlink(loop, loop); // unreadable even to root
    DataList names;
    Prices prices(&names);
    try {
        prices.load(loop);
        ADD_FAILURE() << "a link to itself loaded";
    } catch (const LTException& e) {
        EXPECT_EQ(std::string(e.what()), loop + ": Too many levels of symbolic links");
    }
    prices.setPrice(names.idOf("A"), EncodeDate(2026, 1, 1), 1, 1);
    EXPECT_THROW(prices.save(loop), LTException); // no copy can be kept of it
    EXPECT_TRUE(std::filesystem::is_symlink(loop));

    const std::string missingFolder = folder + "/gone/prices.txt";
    try {
        prices.save(missingFolder);
        ADD_FAILURE() << "saved into no folder";
    } catch (const LTException& e) {
        EXPECT_EQ(std::string(e.what()), "Can't write " + missingFolder +
                                             ": No such file or directory; the prices were not saved (the table as "
                                             "edited is in use until the monitor ends).");
    }
    EXPECT_EQ(prices.size(), 1);

    if (::geteuid() != 0) { // root reads and writes whatever the mode says
        const std::string locked = priceFile("A\n1\n2004-03-01 1 1\n");
        ::chmod(locked.c_str(), 0);
        EXPECT_THROW(prices.load(locked), LTException);
        EXPECT_THROW(prices.save(locked), LTException);
        ::chmod(locked.c_str(), 0644);
        EXPECT_EQ(testenv::readFile(locked), "A\n1\n2004-03-01 1 1\n");
    }
}

TEST(Prices, save_replaces_the_file_whole_through_a_link_keeping_its_mode)
{
    const std::string folder = testenv::freshFolder("linked");
    const std::string real = priceFile("A\n1\n2004-03-01 1 1\n");
    ::chmod(real.c_str(), 0600);
    const std::string link = folder + "/prices.txt";
    std::filesystem::create_symlink(real, link);
    DataList names;
    Prices prices(&names);
    prices.load(link);
    prices.setPrice(0, EncodeDate(2005, 1, 1), 2, 2);
    prices.save(link);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(testenv::readFile(real), "A\n2\n2004-03-01 1 1\n2005-01-01 2 2\n");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_FALSE(std::filesystem::exists(real + ".tmp"));
}
