#include "errors/ltexception.h"
#include "fakes/live_table.h"
#include "log/conlogger.h"
#include "model/budget.h"
#include "model/budgetstore.h"
#include "model/budgetwatch.h"
#include "model/sharedstatreader.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <limits>

namespace {

constexpr std::uint64_t MB = 1048576;

BudgetPeriod period(int y1, int m1, int d1, int y2, int m2, int d2)
{
    return {EncodeDate(y1, m1, d1), EncodeDate(y2, m2, d2)};
}

Total4Period used(std::uint64_t sent, std::uint64_t received, double upload = 0, double download = 0,
                  bool unknown = false)
{
    Total4Period t;
    t.sent = sent;
    t.received = received;
    t.uploadCost = upload;
    t.downloadCost = download;
    t.costsUnknown = unknown;
    return t;
}

} // namespace

TEST(BudgetPeriod, starts_on_the_billing_day_or_the_month_s_last_day_and_ends_where_the_next_starts)
{
    // Day 31 across February, in a common and in a leap year.
    EXPECT_EQ(budgetPeriodOf(EncodeDate(2027, 2, 27), 31), period(2027, 1, 31, 2027, 2, 28));
    EXPECT_EQ(budgetPeriodOf(EncodeDate(2027, 2, 28) + 0.5, 31), period(2027, 2, 28, 2027, 3, 31));
    EXPECT_EQ(budgetPeriodOf(EncodeDate(2028, 2, 28), 31), period(2028, 1, 31, 2028, 2, 29));
    EXPECT_EQ(budgetPeriodOf(EncodeDate(2028, 3, 30), 31), period(2028, 2, 29, 2028, 3, 31));
    EXPECT_EQ(budgetPeriodOf(EncodeDate(2027, 4, 30), 31), period(2027, 4, 30, 2027, 5, 31));
    // Day 1 is the calendar month; a period may cross the year.
    EXPECT_EQ(budgetPeriodOf(EncodeDate(2026, 12, 31) + 0.99, 1), period(2026, 12, 1, 2027, 1, 1));
    EXPECT_EQ(budgetPeriodOf(EncodeDate(2027, 1, 4), 5), period(2026, 12, 5, 2027, 1, 5));
    EXPECT_EQ(budgetPeriodOf(EncodeDate(2027, 1, 5), 5), period(2027, 1, 5, 2027, 2, 5));
}

TEST(BudgetLevel, is_80_from_exactly_80_percent_then_90_and_100)
{
    const Budget cap{100.0, std::nullopt};
    const BudgetPeriod p = period(2027, 1, 1, 2027, 2, 1);
    const TDateTime now = EncodeDate(2027, 1, 10);
    EXPECT_EQ(evaluateBudget(cap, p, used(0, 80 * MB - 1), now).level, 0);
    EXPECT_EQ(evaluateBudget(cap, p, used(0, 80 * MB), now).level, 80);
    EXPECT_EQ(evaluateBudget(cap, p, used(40 * MB, 40 * MB + 1), now).level, 80);
    EXPECT_EQ(evaluateBudget(cap, p, used(0, 90 * MB), now).level, 90);
    EXPECT_EQ(evaluateBudget(cap, p, used(0, 100 * MB), now).level, 100);
    // Only the counted direction counts.
    const Budget sentOnly{100.0, std::nullopt, 1, CountedTraffic::sent};
    EXPECT_EQ(evaluateBudget(sentOnly, p, used(10 * MB, 500 * MB), now).level, 0);
    // The higher of the two kinds; costs summed record by record reach 80 %.
    const Budget both{100.0, 10.0};
    EXPECT_EQ(evaluateBudget(both, p, used(0, 10 * MB, 0, 9.0), now).level, 90);
    double tenRecords = 0;
    for (int i = 0; i < 10; ++i)
        tenRecords += 0.8;
    EXPECT_EQ(evaluateBudget(both, p, used(0, 0, 0, tenRecords), now).level, 80);
}

TEST(BudgetFigures, project_after_24_hours_of_real_time_and_share_what_is_left_among_the_days_today_included)
{
    {
    testenv::ScopedEnv berlin("TZ", "Europe/Berlin");
    tzset();
    const Budget cap{3100.0, 31.0, 5};
    // 5 March to 5 April 2027: summer time starts on 28 March, an hour short.
    const BudgetPeriod p = budgetPeriodOf(EncodeDate(2027, 3, 20), 5);
    const Total4Period half = used(0, 1000 * MB, 0, 10.0);
    EXPECT_FALSE(evaluateBudget(cap, p, half, EncodeDate(2027, 3, 5) + 0.99).projectedMb);
    const BudgetFigures day = evaluateBudget(cap, p, half, EncodeDate(2027, 3, 6));
    ASSERT_TRUE(day.projectedMb);
    EXPECT_DOUBLE_EQ(*day.projectedMb, 1000.0 * (31 * 24 - 1) / 24);
    EXPECT_DOUBLE_EQ(*day.projectedMoney, 10.0 * (31 * 24 - 1) / 24);
    const BudgetFigures later = evaluateBudget(cap, p, half, EncodeDate(2027, 3, 30) + 0.5);
    EXPECT_DOUBLE_EQ(*later.projectedMb, 1000.0 * (31 * 24 - 1) / (25 * 24 - 1 + 12));
    // 30 March to 4 April: six days.
    EXPECT_DOUBLE_EQ(*later.leftPerDayMb, 2100.0 / 6);
    EXPECT_DOUBLE_EQ(*later.leftPerDayMoney, 21.0 / 6);
    EXPECT_EQ(*evaluateBudget(cap, p, used(0, 4000 * MB), EncodeDate(2027, 3, 30)).leftPerDayMb, 0.0);
    // Seen after its end: what it used is its projection, no day is left.
    const BudgetFigures ended = evaluateBudget(cap, p, half, EncodeDate(2027, 6, 1));
    EXPECT_DOUBLE_EQ(*ended.projectedMb, 1000.0);
    EXPECT_FALSE(ended.leftPerDayMb);
    }
    tzset();
}

TEST(BudgetFigures, leave_money_unknown_where_a_record_has_no_price_while_traffic_still_levels)
{
    const Budget cap{100.0, 1.0};
    const BudgetFigures f =
        evaluateBudget(cap, period(2027, 1, 1, 2027, 2, 1), used(0, 95 * MB, 0, 5.0, true), EncodeDate(2027, 1, 20));
    EXPECT_FALSE(f.usedMoney);
    EXPECT_FALSE(f.projectedMoney);
    EXPECT_FALSE(f.leftPerDayMoney);
    EXPECT_EQ(f.level, 90);
}

TEST(Budget, refuses_no_cap_a_cap_of_0_or_not_a_number_and_a_day_outside_1_to_31_and_takes_2_to_the_40_mb)
{
    EXPECT_THROW(checkBudget(Budget{}), LTException);
    EXPECT_THROW(checkBudget(Budget{0.0, std::nullopt}), LTException);
    EXPECT_THROW(checkBudget(Budget{std::nullopt, -1.0}), LTException);
    EXPECT_THROW(checkBudget(Budget{std::numeric_limits<double>::infinity(), std::nullopt}), LTException);
    EXPECT_THROW(checkBudget(Budget{10.0, std::nullopt, 0}), LTException);
    EXPECT_THROW(checkBudget(Budget{10.0, std::nullopt, 32}), LTException);
    const Budget huge{1099511627776.0, std::nullopt, 31};
    EXPECT_NO_THROW(checkBudget(huge));
    const std::uint64_t sevenEighths = (std::uint64_t(1) << 60) - (std::uint64_t(1) << 57);
    EXPECT_EQ(evaluateBudget(huge, period(2027, 1, 1, 2027, 2, 1), used(sevenEighths, 0), EncodeDate(2027, 1, 2)).level,
              80);
}

TEST(BudgetStore, keeps_budgets_and_told_levels_in_a_key_of_their_own_and_refuses_what_it_cannot_keep)
{
    const std::string config = testenv::freshFolder("config");
    testenv::ScopedEnv env("XDG_CONFIG_HOME", config.c_str());
    const Budget lte{20480.0, 25.5, 31, CountedTraffic::received, false};
    {
        BudgetStore store;
        store.setBudget("lte \"0\"", lte);
        store.setBudget("vpn\\a=b:c", lte);
        store.setBudget("eth9", lte);
        store.setBudget("eth0", Budget{std::nullopt, 12.25});
        store.setToldLevel("lte \"0\"", EncodeDate(2027, 1, 31), 80);
        EXPECT_THROW(store.setBudget("bad\nname", lte), LTException);
        EXPECT_THROW(store.setBudget("eth1", Budget{}), LTException);
    }
    // A value spoilt by hand spoils only its budget.
    const std::string file = config + "/Tarnwick Software/Linktally/1.3.1/Budgets.reg";
    std::string text = testenv::readFile(file);
    const std::string good = "\"CapMb:eth9\"=\"20480\"";
    text.replace(text.find(good), good.size(), "\"CapMb:eth9\"=\"20,48\"");
    std::ofstream(file) << text;
    BudgetStore store; // as the next run finds it
    EXPECT_EQ(store.connections(), (std::vector<std::string>{"eth0", "eth9", "lte \"0\"", "vpn\\a=b:c"}));
    EXPECT_EQ(store.budgetOf("vpn\\a=b:c"), lte);
    EXPECT_EQ(store.budgetOf("eth9"), std::nullopt);
    EXPECT_EQ(store.budgetOf("lte \"0\""), lte);
    EXPECT_EQ(store.budgetOf("eth0"), (Budget{std::nullopt, 12.25}));
    EXPECT_EQ(store.budgetOf("eth1"), std::nullopt);
    EXPECT_EQ(store.toldLevel("lte \"0\"", EncodeDate(2027, 1, 31)), 80);
    EXPECT_EQ(store.toldLevel("lte \"0\"", EncodeDate(2027, 2, 28)), 0); // another period
    Budget quiet = lte;
    quiet.notify = !lte.notify;
    store.setBudget("lte \"0\"", quiet); // the same limits: the levels told stay
    EXPECT_EQ(store.toldLevel("lte \"0\"", EncodeDate(2027, 1, 31)), 80);
    store.removeBudget("eth0");
    store.removeBudget("eth9");
    EXPECT_EQ(store.connections(), (std::vector<std::string>{"lte \"0\"", "vpn\\a=b:c"}));
    // The options' own file is not where they live.
    EXPECT_EQ(testenv::readFile(config + "/Tarnwick Software/Linktally/1.3.1.reg").find("CapMb"), std::string::npos);
}

TEST(BudgetAlert, tells_a_level_once_above_the_one_told_and_words_it_with_the_cap_that_reached_it)
{
    EXPECT_EQ(levelToTell(80, 0), 80);
    EXPECT_EQ(levelToTell(90, 80), 90);
    EXPECT_EQ(levelToTell(90, 90), 0);
    EXPECT_EQ(levelToTell(80, 100), 0); // a lower level after a higher one, in one period
    EXPECT_EQ(megabytesText(512), "512 MB");
    EXPECT_EQ(megabytesText(0.56), "0.6 MB");
    EXPECT_EQ(megabytesText(20480), "20 GB");
    EXPECT_EQ(megabytesText(16486.4), "16.1 GB");

    testenv::ScopedEnv c("LC_TIME", "C");
    const Budget lte{20480.0, 40.0, 5};
    const BudgetPeriod p = period(2026, 12, 5, 2027, 1, 5);
    const BudgetFigures f = evaluateBudget(lte, p, used(0, std::uint64_t(16486.4 * MB), 0, 12.0), EncodeDate(2026, 12, 26));
    EXPECT_EQ(budgetAlertText("lte0", lte, f),
              "lte0 has used 80 % of its 20 GB (16.1 GB) for the period to 4 January. At this pace: 23.8 GB.");
    const BudgetFigures early = evaluateBudget(Budget{std::nullopt, 10.0, 5}, p, used(0, 0, 0, 9.5), EncodeDate(2026, 12, 5) + 0.5);
    EXPECT_EQ(budgetAlertText("eth0", Budget{std::nullopt, 10.0, 5}, early),
              "eth0 has used 90 % of its 10.00 (9.50) for the period to 4 January.");
}

TEST(BudgetWatch, sums_the_period_once_then_adds_appended_records_and_the_live_part_and_starts_over_on_the_billing_day)
{
    const std::string config = testenv::freshFolder("config");
    testenv::ScopedEnv env("XDG_CONFIG_HOME", config.c_str());
    LiveTable live;
    const std::string log = testenv::freshFolder("watch") + "/cn.log";
    ConnectionLogger writer(nullptr, log);
    DataList names;
    Prices prices(&names);
    prices.setPrice(names.idOf("lte0"), EncodeDate(2026, 1, 1), 1.0, 1.0);
    BudgetStore().setBudget("lte0", Budget{100.0, std::nullopt, 5});
    const TDateTime now = EncodeDate(2026, 12, 20) + 0.5;
    writer.logLANConnection("lte0", EncodeDate(2026, 12, 4) + 0.9, EncodeDate(2026, 12, 5), 50 * MB, 0); // before
    writer.logLANConnection("lte0", EncodeDate(2026, 12, 5), EncodeDate(2026, 12, 5) + 0.1, 10 * MB, 0);
    writer.logLANConnection("eth0", EncodeDate(2026, 12, 6), EncodeDate(2026, 12, 6) + 0.1, 10 * MB, 0);
    BudgetWatch watch(log, &prices, &names);
    watch.reload(now);
    live.rows({{"lte0", 0, 5 * MB, 0, 0}});
    SharedStatisticsReader reader;
    reader.refresh();
    EXPECT_EQ(watch.figuresOf("lte0", reader, now)->usedMb, 15);
    EXPECT_EQ(watch.figuresOf("lte0", reader, now)->usedMoney, 15);
    EXPECT_EQ(watch.budgetOf("eth0"), std::nullopt);

    writer.logLANConnection("lte0", EncodeDate(2026, 12, 20), EncodeDate(2026, 12, 20) + 0.1, 20 * MB, 0);
    watch.update(false, now);
    EXPECT_EQ(watch.figuresOf("lte0", reader, now)->usedMb, 15); // read only when the service says it wrote
    watch.update(true, now);
    EXPECT_EQ(watch.figuresOf("lte0", reader, now)->usedMb, 35);

    // Past the billing day the live part is the old period's running hour
    // until the service logs it; that record, of the old period, is not the
    // new one's.
    const TDateTime next = EncodeDate(2027, 1, 5) + 0.001;
    watch.update(false, next);
    EXPECT_EQ(watch.figuresOf("lte0", reader, next)->period.start, EncodeDate(2027, 1, 5));
    EXPECT_EQ(watch.figuresOf("lte0", reader, next)->usedMb, 0);
    writer.logLANConnection("lte0", EncodeDate(2027, 1, 4) + 23.0 / 24, EncodeDate(2027, 1, 5), 40 * MB, 0);
    watch.update(true, next);
    EXPECT_EQ(watch.figuresOf("lte0", reader, next)->usedMb, 5); // the live part only
}

TEST(BudgetWatch, tells_each_level_once_a_period_also_to_the_next_run_and_only_where_asked)
{
    const std::string config = testenv::freshFolder("config");
    testenv::ScopedEnv env("XDG_CONFIG_HOME", config.c_str());
    testenv::ScopedEnv c("LC_TIME", "C");
    LiveTable live;
    const std::string log = testenv::freshFolder("watch") + "/cn.log";
    ConnectionLogger writer(nullptr, log);
    DataList names;
    Prices prices(&names);
    BudgetStore().setBudget("lte0", Budget{100.0, std::nullopt, 1});
    BudgetStore().setBudget("quiet0", Budget{100.0, std::nullopt, 1, CountedTraffic::both, false});
    BudgetStore().setBudget("lte9", Budget{100.0, std::nullopt, 1}); // no traffic yet
    const TDateTime now = EncodeDate(2026, 12, 20) + 0.5;
    writer.logLANConnection("lte0", EncodeDate(2026, 12, 2), EncodeDate(2026, 12, 2) + 0.1, 85 * MB, 0);
    writer.logLANConnection("quiet0", EncodeDate(2026, 12, 2), EncodeDate(2026, 12, 2) + 0.1, 100 * MB, 0);
    SharedStatisticsReader reader;
    reader.refresh();
    std::string saveError;
    {
        BudgetWatch watch(log, &prices, &names);
        watch.reload(now);
        const std::vector<BudgetAlert> alerts = watch.newAlerts(reader, now, saveError);
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0].connection, "lte0");
        EXPECT_EQ(alerts[0].level, 80);
        EXPECT_EQ(alerts[0].text.substr(0, 47), "lte0 has used 80 % of its 100 MB (85 MB) for th");
        EXPECT_TRUE(watch.newAlerts(reader, now, saveError).empty());
        EXPECT_EQ(names.findId("lte9"), -1); // not in the connection menu for its budget alone
        live.rows({{"lte0", 16 * MB, 0, 0, 0}});
        reader.refresh();
        EXPECT_EQ(watch.newAlerts(reader, now, saveError).at(0).level, 100); // 90 passed over
    }
    BudgetWatch restarted(log, &prices, &names);
    restarted.reload(now);
    EXPECT_TRUE(restarted.newAlerts(reader, now, saveError).empty());
    EXPECT_EQ(saveError, "");
    // A level told but not kept (a failed write, another program's write
    // over it) stays told in this run.
    BudgetStore().setToldLevel("lte0", EncodeDate(2026, 12, 1), 0);
    restarted.settingsChanged(now);
    EXPECT_TRUE(restarted.newAlerts(reader, now, saveError).empty());
}
