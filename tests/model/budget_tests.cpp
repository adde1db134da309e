#include "errors/ltexception.h"
#include "model/budget.h"
#include "model/budgetstore.h"
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
    store.removeBudget("eth0");
    store.removeBudget("eth9");
    EXPECT_EQ(store.connections(), (std::vector<std::string>{"lte \"0\"", "vpn\\a=b:c"}));
    // The options' own file is not where they live.
    EXPECT_EQ(testenv::readFile(config + "/Tarnwick Software/Linktally/1.3.1.reg").find("CapMb"), std::string::npos);
}
