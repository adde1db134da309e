#include "common/datetime.h"
#include "common/dbglogger.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <chrono>

TEST(EncodeDate, counts_days_from_1899_12_30)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(1950, 1, 1), 18264.0);
    EXPECT_EQ(EncodeDate(2026, 12, 8), 46364.0);
    EXPECT_EQ(EncodeDate(2300, 1, 1), 146099.0);
    EXPECT_EQ(EncodeDate(1899, 12, 29), -1.0);
}

TEST(EncodeDate, refuses_dates_that_do_not_exist)
{
    TDateTime ignored;
    EXPECT_FALSE(TryEncodeDate(2023, 2, 29, ignored));
    EXPECT_TRUE(TryEncodeDate(2024, 2, 29, ignored));
    EXPECT_FALSE(TryEncodeDate(2024, 13, 1, ignored));
    EXPECT_FALSE(TryEncodeDate(2024, 4, 31, ignored));
    EXPECT_THROW(EncodeDate(2100, 2, 29), LTException);
}

TEST(DecodeDateTime, round_half_milliseconds_consistently_across_midnight)
{
    int y, m, d, h, n, s, ms;
    const TDateTime t = EncodeDate(2024, 2, 29) + EncodeTime(10, 59, 59, 500);
    DecodeDate(t, y, m, d);
    DecodeTime(t, h, n, s, ms);
    EXPECT_EQ((std::array{y, m, d, h, n, s, ms}), (std::array{2024, 2, 29, 10, 59, 59, 500}));
    // Less than half a millisecond before midnight is midnight of the next day.
    const TDateTime late = EncodeDate(2024, 12, 31) + 1.0 - 0.2 / MSecsPerDay;
    DecodeDate(late, y, m, d);
    DecodeTime(late, h, n, s, ms);
    EXPECT_EQ((std::array{y, m, d, h, n, s, ms}), (std::array{2025, 1, 1, 0, 0, 0, 0}));
}

TEST(DayOfWeek, counts_sunday_as_one_and_saturday_as_seven)
{
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 6)), 1);                       // Sunday
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 12) + 0.99), 7);               // Saturday evening
    EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7);                      // day 0
    EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 24)), 1);                      // before day 0
}

TEST(DaysInAMonth, follows_the_leap_year_rule)
{
    EXPECT_EQ(DaysInAMonth(2024, 2), 29);
    EXPECT_EQ(DaysInAMonth(2023, 2), 28);
    EXPECT_EQ(DaysInAMonth(1900, 2), 28);
    EXPECT_EQ(DaysInAMonth(2000, 2), 29);
    EXPECT_EQ(DaysInAMonth(2026, 4), 30);
    EXPECT_EQ(DaysInAMonth(2026, 12), 31);
}

TEST(IncMonth, keeps_the_time_and_cuts_the_day_to_a_shorter_month)
{
    EXPECT_EQ(IncMonth(EncodeDate(2024, 1, 31) + 0.25, 1), EncodeDate(2024, 2, 29) + 0.25);
    EXPECT_EQ(IncMonth(EncodeDate(2024, 12, 15), 1), EncodeDate(2025, 1, 15));
    EXPECT_EQ(IncMonth(EncodeDate(2024, 1, 15), -1), EncodeDate(2023, 12, 15));
    EXPECT_EQ(IncMonth(EncodeDate(2024, 3, 31), -13), EncodeDate(2023, 2, 28));
}

TEST(FormatDateTime, writes_the_patterns_of_the_views)
{
    FormatSettings english;
    english.dateSeparator = '/';
    english.timeSeparator = ':';
    english.longMonthNames[11] = "December";
    english.shortMonthNames[11] = "Dec";
    english.shortDayNames[2] = "Tue";
    const TDateTime t = EncodeDate(2026, 12, 8) + EncodeTime(7, 5, 9, 42);
    EXPECT_EQ(FormatDateTime("dd/mm/yy", t, english), "08/12/26");
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy", t, english), "08/12/2026");
    EXPECT_EQ(FormatDateTime("hh.nn", t, english), "07.05");
    EXPECT_EQ(FormatDateTime("mmmm, yyyy", t, english), "December, 2026");
    EXPECT_EQ(FormatDateTime("dd/mm, ddd", t, english), "08/12, Tue");
    EXPECT_EQ(FormatDateTime("dd.MM, ddd", t, english), "08.12, Tue");
    EXPECT_EQ(FormatDateTime("mmm", t, english), "Dec");
    EXPECT_EQ(FormatDateTime("dd:mm:yyyy hh:nn:ss", t, english), "08:12:2026 07:05:09");
    EXPECT_EQ(FormatDateTime("h:mm:ss.zzz", t, english), "7:05:09.042"); // m after h is minutes
    EXPECT_EQ(FormatDateTime("'Year' yyyy", t, english), "Year 2026");

    FormatSettings dotted = english;
    dotted.dateSeparator = '.';
    dotted.timeSeparator = '.';
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn", t, dotted), "08.12.2026 07.05");
}

TEST(FormatSettings, reads_names_and_separators_from_the_c_locale)
{
    const FormatSettings c = FormatSettings::fromLocale();
    EXPECT_EQ(c.dateSeparator, '/');
    EXPECT_EQ(c.timeSeparator, ':');
    EXPECT_EQ(c.longMonthNames[0], "January");
    EXPECT_EQ(c.shortDayNames[0], "Sun");
}

TEST(Now, can_be_fixed_by_tests_and_otherwise_follows_local_time)
{
    SetFixedNow(46364.5);
    EXPECT_EQ(Now(), 46364.5);
    ClearFixedNow();
    testenv::ScopedEnv tz("TZ", "UTC");
    tzset();
    EXPECT_EQ(DateTimeFromUnix(0), 25569.0);
    EXPECT_EQ(DateTimeFromUnix(86400 + 3600, 500000000), 25570.0 + EncodeTime(1, 0, 0, 500));
    EXPECT_EQ(UnixFromDateTime(25570.0 + EncodeTime(1, 0, 0, 500)), 86400 + 3600.5);
    const TDateTime now = Now();
    EXPECT_GT(now, EncodeDate(2020, 1, 1));
    EXPECT_LT(now, EncodeDate(2300, 1, 1));
    {
        testenv::ScopedEnv berlin("TZ", "Europe/Berlin");
        tzset();
        EXPECT_EQ(DateTimeFromUnix(0), 25569.0 + 1.0 / 24); // local time, one hour east
    }
    tzset();
}

TEST(Now, tells_apart_moments_microseconds_apart)
{
    {
        testenv::ScopedEnv tz("TZ", "UTC");
        tzset();
        const std::time_t tenOClock = 1796724000; // 2026-12-08 10:00:00 UTC
        const TDateTime whole = DateTimeFromUnix(tenOClock, 0);
        EXPECT_EQ(whole, EncodeDate(2026, 12, 8) + EncodeTime(10, 0, 0, 0));
        EXPECT_NEAR((DateTimeFromUnix(tenOClock, 1000) - whole) * SecsPerDay, 0.000001, 0.0000005);
        EXPECT_NEAR((DateTimeFromUnix(tenOClock, 999999) - whole) * SecsPerDay, 0.000999999, 0.0000005);
    }
    tzset();

    const TDateTime first = Now();
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::microseconds(20)) {
    }
    const TDateTime second = Now();
    EXPECT_GT(second, first);
    EXPECT_LT((second - first) * SecsPerDay, 0.001);
}
