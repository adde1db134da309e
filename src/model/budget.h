// Monthly budgets per connection: a cap in megabytes, in money or both, over
// periods that start on a billing day; how much of it a period has used, where
// it is heading, and what is left a day.
#pragma once

#include "common/datetime.h"
#include "model/logrecords.h"

#include <cstdint>
#include <optional>
#include <string>

// Which traffic counts against a cap.
enum class CountedTraffic : std::uint8_t { both = 0, received = 1, sent = 2 };

// "both", "received", "sent", as the settings and reports write them.
const char* countedName(CountedTraffic counted);
std::optional<CountedTraffic> countedFrom(const std::string& name);

inline constexpr int BUDGET_LEVELS[] = {80, 90, 100};
inline constexpr double MB_PER_GB = 1024;

struct Budget {
    std::optional<double> capMb;    // megabytes of 2^20 bytes
    std::optional<double> capMoney; // the price table's currency
    int billingDay = 1;             // 1 .. 31
    CountedTraffic counted = CountedTraffic::both;
    bool notify = true;

    bool operator==(const Budget&) const = default;
};

// Throws LTException saying what is wrong: no cap, a cap that is not a
// positive finite number, a billing day outside 1 .. 31.
void checkBudget(const Budget& budget);

// [start, end): local midnights.
struct BudgetPeriod {
    TDateTime start = 0;
    TDateTime end = 0;
    bool operator==(const BudgetPeriod&) const = default;
};

// The period holding the moment: it starts on day min(D, days in the month)
// of that moment's month when the day is at least that, else on that day
// of the month before, and ends where the next one starts.
BudgetPeriod budgetPeriodOf(TDateTime moment, int billingDay);

struct BudgetFigures {
    BudgetPeriod period;
    double usedMb = 0;
    std::optional<double> usedMoney; // none where a record has no price
    std::optional<double> projectedMb, projectedMoney;
    std::optional<double> leftPerDayMb, leftPerDayMoney;
    int level = 0; // 0, 80, 90 or 100
    int levelMb = 0, levelMoney = 0;
    std::optional<double> percentMb, percentMoney; // used of each cap set (money: when known)
};

// The figures of a period at the moment now, from what it used so far (its
// records and the live part, as the totals add them). The projection comes
// once 24 hours of the period have passed (real seconds, daylight-saving
// changes included; a period that has ended projects what it used); the
// days left count today as a whole one, and none are left of a period that
// has ended.
BudgetFigures evaluateBudget(const Budget& budget, const BudgetPeriod& period, const Total4Period& used,
                             TDateTime now);
// The period's bounds and the moment in seconds since the epoch. Each
// conversion of a local time looks at the time zone's file: a caller that
// evaluates every second keeps the bounds and converts only the moment.
struct RealSeconds {
    double start = 0, end = 0, now = 0;
};
RealSeconds realSecondsOf(const BudgetPeriod& period, TDateTime now);
BudgetFigures evaluateBudget(const Budget& budget, const BudgetPeriod& period, const Total4Period& used,
                             TDateTime now, const RealSeconds& seconds);

// The level to tell the user: the one reached when it is above the level
// already told in the period, else 0 (nothing to tell).
int levelToTell(int level, int told);
// "20 GB", "16.1 GB", "512 MB", "0.6 MB": gigabytes of 1,024 MB from one
// on, a decimal below 10 MB.
std::string megabytesText(double mb);
// What the desktop tells at a level, for the cap kind that reached it:
// "lte0 has used 80 % of its 20 GB (16.1 GB) for the period to 4 January.
// At this pace: 24.3 GB." (the pace once it is known).
std::string budgetAlertText(const std::string& connection, const Budget& budget, const BudgetFigures& figures);

// 0 below 80 % of the cap, else the highest of 80, 90, 100 reached; a sum
// of costs a rounding short of a level reaches it.
int budgetLevel(double used, double cap);
