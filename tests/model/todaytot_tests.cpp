#include "common/common.h"
#include "fakes/live_table.h"
#include "log/conlogger.h"
#include "model/sharedstatreader.h"
#include "model/todaytot.h"

#include <gtest/gtest.h>

namespace {

const TDateTime day = EncodeDate(2026, 12, 8);
const std::uint64_t Mb = 1048576;

struct Today {
    LiveTable live;
    std::string log = testenv::freshFolder("today") + "/cn.log";
    ConnectionLogger writer{nullptr, log};
    DataList names;
    Prices prices{&names};
    RecordFilter_byConnectionName filter{&names, names.idOf("eth0")};
    Today() { SetFixedNow(day + 0.5); }
    ~Today() { ClearFixedNow(); }
};

} // namespace

TEST(TodayTotals, adds_the_live_quantum_of_every_row_of_the_connection_to_todays_log)
{
    Today t;
    t.prices.setPrice(t.filter.getConnectionId(), day, 1.0, 2.0);
    t.writer.logLANConnection("eth0", day - 0.01, day + 0.001, 5 * Mb, 0); // began yesterday: not today's
    t.writer.logLANConnection("eth0", day + 0.1, day + 0.2, Mb, Mb);
    TodayTotals today(t.log, &t.prices, &t.names);
    t.live.rows({{"eth0", Mb, 0, 0, 0}, {"eth0", Mb, 0, 0, 0}, {"ETH0", 7 * Mb, 0, 0, 0}});
    SharedStatisticsReader reader;
    reader.refresh();
    const Total4Period total = today.getTotals(t.filter, reader);
    EXPECT_EQ(total.start, day);
    EXPECT_EQ(total.sent, 3 * Mb);
    EXPECT_EQ(total.received, Mb);
    EXPECT_DOUBLE_EQ(total.uploadCost + total.downloadCost, 5.0);
    EXPECT_FALSE(total.costsUnknown);

    t.writer.logLANConnection("eth0", day + 0.3, day + 0.4, Mb, 0);
    today.update(false); // nothing read without a change
    EXPECT_EQ(today.getTotals(t.filter, reader).sent, 3 * Mb);
    today.update(true);
    EXPECT_EQ(today.getTotals(t.filter, reader).sent, 4 * Mb);
}

TEST(TodayTotals, prices_the_live_part_at_midnight_and_starts_over_when_the_day_moves_either_way)
{
    Today t;
    t.prices.setPrice(t.filter.getConnectionId(), day + 1, 1.0, 1.0); // from tomorrow only
    TodayTotals today(t.log, &t.prices, &t.names);
    SharedStatisticsReader reader;
    reader.refresh();
    EXPECT_TRUE(today.liveTotal(t.filter, reader).costsUnknown); // even with no traffic

    t.writer.logLANConnection("eth0", day + 1 + 0.1, day + 1 + 0.2, Mb, 0);
    SetFixedNow(day + 1 + 0.5);
    today.update(false);
    EXPECT_EQ(today.getDay(), day + 1);
    const Total4Period tomorrow = today.getTotals(t.filter, reader);
    EXPECT_EQ(tomorrow.sent, Mb);
    EXPECT_FALSE(tomorrow.costsUnknown);

    SetFixedNow(day - 1 + 0.5); // the clock set back
    today.update(false);
    EXPECT_EQ(today.getDay(), day - 1);
    EXPECT_EQ(today.getTotals(t.filter, reader).sent, 0u);
}
