#include "common/common.h"
#include "model/datamodel.h"
#include "model/viewformat.h"

#include <gtest/gtest.h>

namespace {

const TDateTime day = EncodeDate(2026, 12, 8);

// Records of connections "a" (id 0) and "b" (id 1), priced 1.0 per Mb sent
// and 2.0 per Mb received from the day before.
struct Priced : History {
    DataList& names = entryNames;
    RecordFilter_byConnectionName a{&names, names.idOf("a")};
    RecordFilter_byConnectionName b{&names, names.idOf("b")};
    Priced() { prices.setPrice(a.getConnectionId(), day - 1, 1.0, 2.0); }
    void add(const char* name, TDateTime start, std::uint64_t sent, std::uint64_t received)
    {
        records.add(LAN_CONNECTION, name, "", "", "", "", start, start + 0.01, sent, received);
    }
};

const std::uint64_t Mb = 1048576;

} // namespace

TEST(Totals, count_a_record_whole_in_the_period_of_its_start_half_open)
{
    Priced h;
    h.add("a", day + EncodeTime(10, 59, 59, 500), Mb, 0); // ends after 11:00, counts at 10:00
    h.add("a", day + 11.0 / 24, 2 * Mb, 0);              // starts where 10:00 ends
    h.add("b", day + 10.5 / 24, 7 * Mb, 0);              // another connection
    h.records.sortByStart();
    listOfTotals hours;
    h.records.totalsFor(day, 1.0 / 24, 24, h.a, hours);
    EXPECT_EQ(hours[10].sent, Mb);
    EXPECT_EQ(hours[10].uploadCost, 1.0);
    EXPECT_EQ(hours[11].sent, 2 * Mb);
    EXPECT_EQ(hours[9].sent, 0u);
    EXPECT_FALSE(hours[9].costsUnknown);
    const Total4Period all = sumOfTotals(hours);
    EXPECT_EQ(all.sent, 3 * Mb);
    EXPECT_EQ(all.start, day);
}

TEST(Totals, price_byte_counts_from_two_to_the_63_on_as_positive)
{
    const std::uint64_t all = 18446744073709551615u, half = 9223372036854775808u;
    EXPECT_EQ(costOfBytes(all, 1.0), 17592186044416.0);
    EXPECT_EQ(costOfBytes(half, 0.5), 4398046511104.0);
    Priced h;
    h.add("a", day + 0.5, all, half);
    h.records.sortByStart();
    double upload = 0, download = 0, cost = 0;
    ASSERT_TRUE(h.records.costOf(h.records.getRecord(0), upload, download, cost));
    EXPECT_EQ(upload, 17592186044416.0);
    EXPECT_EQ(download, 17592186044416.0); // 2^43 Mb at 2.0
    const Total4Period counts{day, all, half};
    EXPECT_EQ(sentMbCell(counts), "17592186044416.00");
    EXPECT_EQ(receivedMbCell(counts), "8796093022208.00");
}

namespace {

struct Everything : RecordFilter {
    bool accept(const LogRecord&) const override { return true; }
};

} // namespace

TEST(Totals, never_show_less_than_one_of_their_records_holds)
{
    const std::uint64_t all = 18446744073709551615u;
    Priced h;
    h.add("a", day + 0.5, 3, all);
    h.add("a", day + 0.6, all, 5);
    h.records.sortByStart();
    const Total4Period dayTotal = h.records.totalFor(day, 1, h.a);
    EXPECT_EQ(dayTotal.sent, all);
    EXPECT_EQ(dayTotal.received, all);
    listOfTotals hours;
    h.records.totalsFor(day, 1.0 / 24, 24, h.a, hours);
    EXPECT_EQ(sumOfTotals(hours).received, all);
    EXPECT_EQ((dayTotal + dayTotal).sent, all);
    EXPECT_EQ(receivedMbCell(dayTotal), receivedMbCell(Total4Period{day, 0, all}));
}

TEST(Totals, stop_adding_costs_at_the_first_unpriced_record_but_keep_the_traffic)
{
    Priced h;
    const int c = h.names.idOf("c");
    h.names.idOf("d"); // never priced
    h.prices.setPrice(c, day, 1.5, 0.5);
    h.add("c", day + 0.10, Mb, 0);  // A: 1.50
    h.add("d", day + 0.45, Mb, 0);  // B: no price
    h.add("c", day + 0.70, Mb, Mb); // C: 2.00
    h.records.sortByStart();
    const Everything all;
    const Total4Period t = h.records.totalFor(day, 1, all);
    EXPECT_EQ(t.sent, 3 * Mb);
    EXPECT_TRUE(t.costsUnknown);
    EXPECT_EQ(t.uploadCost + t.downloadCost, 1.5);

    listOfTotals tenths;
    h.records.totalsFor(day, 0.1, 10, all, tenths); // only the fifth (0.4 .. 0.5) is unpriced
    EXPECT_FALSE(tenths[1].costsUnknown);
    EXPECT_TRUE(tenths[4].costsUnknown);
    const Total4Period sum = sumOfTotals(tenths);
    EXPECT_EQ(sum.sent, 3 * Mb);
    EXPECT_TRUE(sum.costsUnknown);
    EXPECT_EQ(sum.uploadCost + sum.downloadCost, 1.5); // the hours before it only
}

TEST(Totals, add_pairwise_with_the_costs_of_the_operands_that_know_them)
{
    Total4Period known{day, 1, 2, 0.5, 0.25, false};
    Total4Period unknown{day + 1, 10, 20, 9, 9, true};
    const Total4Period sum = known + unknown;
    EXPECT_EQ(sum.start, day);
    EXPECT_EQ(sum.sent, 11u);
    EXPECT_EQ(sum.received, 22u);
    EXPECT_EQ(sum.uploadCost, 0.5);
    EXPECT_EQ(sum.downloadCost, 0.25);
    EXPECT_TRUE(sum.costsUnknown);
}

TEST(Totals, of_all_records_run_to_a_day_after_the_latest_start_and_are_zero_dated_now_when_empty)
{
    Priced h;
    h.records.sortByStart();
    SetFixedNow(day + 0.5);
    EXPECT_EQ(h.records.totalOfAll(h.a).start, day + 0.5);
    ClearFixedNow();
    h.add("a", day - 3, 5, 0);
    h.add("a", day + 0.99, 7, 0);
    h.records.sortByStart();
    const Total4Period all = h.records.totalOfAll(h.a);
    EXPECT_EQ(all.start, day - 3);
    EXPECT_EQ(all.sent, 12u);
}

TEST(LogRecordsPager, pages_the_accepted_records_in_file_order)
{
    Priced h;
    for (int i = 0; i < 30; ++i) {
        h.add("b", day, 0, 0); // rejected ones in between do not count
        h.add("a", day, static_cast<std::uint64_t>(i), 0);
    }
    h.records.sortByStart();
    LogRecordsPager pager(24, h.records, h.a);
    ASSERT_EQ(pager.getPagesCount(), 2);
    listOfRecords page;
    pager.getPage(2, page);
    ASSERT_EQ(page.size(), 6u);
    EXPECT_EQ(page[0]->getSent(), 24u);
    EXPECT_EQ(page[0]->getId(), 49);
    pager.getPage(1, page);
    EXPECT_EQ(page.size(), 24u);

    LogRecordsPager single(1, h.records, h.a);
    EXPECT_EQ(single.getPagesCount(), 30);
    RecordFilter_byConnectionName none(&h.names, h.names.idOf("unused"));
    LogRecordsPager empty(24, h.records, none);
    EXPECT_EQ(empty.getPagesCount(), 1);
    empty.getPage(1, page);
    EXPECT_TRUE(page.empty());
    h.add("a", day, 99, 0); // appended later: reaches the last page
    pager.getPage(2, page);
    EXPECT_EQ(page.back()->getSent(), 99u);
}

TEST(Periods, start_weeks_on_sunday_and_give_february_its_leap_day)
{
    Priced h;
    h.records.sortByStart();
    const TDateTime sunday = EncodeDate(2026, 12, 6), saturday = EncodeDate(2026, 12, 12) + 0.9;
    EXPECT_EQ(computePeriod(PeriodView::Week, sunday, h.records, h.a).start, sunday);
    const PeriodRows week = computePeriod(PeriodView::Week, saturday, h.records, h.a);
    EXPECT_EQ(week.start, sunday);
    EXPECT_EQ(week.totals.size(), 7u);
    EXPECT_EQ(week.title, "06/12 - 12/12/2026");
    EXPECT_EQ(computePeriod(PeriodView::Month, EncodeDate(2028, 2, 10), h.records, h.a).totals.size(), 29u);
    const PeriodRows year = computePeriod(PeriodView::Year, EncodeDate(2028, 7, 4), h.records, h.a);
    EXPECT_EQ(year.totals[2].start, EncodeDate(2028, 3, 1));
    EXPECT_EQ(year.title, "Year 2028");
}

TEST(AxisNumbers, are_plain_grouped_whole_numbers_or_fractions_never_exponents)
{
    EXPECT_EQ(axisNumber(1e6), "1 000 000");
    EXPECT_EQ(axisNumber(5e6), "5 000 000");
    EXPECT_EQ(axisNumber(0), "0");
    EXPECT_EQ(axisNumber(2e-5), "0.00002");
    EXPECT_EQ(axisNumber(2.5), "2.5");
    EXPECT_EQ(axisNumber(0.3), "0.3");
}
