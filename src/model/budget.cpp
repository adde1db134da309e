#include "model/budget.h"

#include "errors/ltexception.h"
#include "model/prices.h"

#include <algorithm>
#include <cmath>

namespace {

TDateTime periodStartIn(int year, int month, int billingDay)
{
    return EncodeDate(year, month, std::min(billingDay, DaysInAMonth(year, month)));
}

void nextMonth(int& year, int& month)
{
    if (++month > 12) {
        month = 1;
        ++year;
    }
}

void previousMonth(int& year, int& month)
{
    if (--month < 1) {
        month = 12;
        --year;
    }
}

std::uint64_t countedBytes(const Total4Period& used, CountedTraffic counted)
{
    switch (counted) {
    case CountedTraffic::received:
        return used.received;
    case CountedTraffic::sent:
        return used.sent;
    case CountedTraffic::both:
        break;
    }
    return saturatingSum(used.sent, used.received);
}

std::optional<double> countedMoney(const Total4Period& used, CountedTraffic counted)
{
    if (used.costsUnknown)
        return std::nullopt;
    switch (counted) {
    case CountedTraffic::received:
        return used.downloadCost;
    case CountedTraffic::sent:
        return used.uploadCost;
    case CountedTraffic::both:
        break;
    }
    return used.uploadCost + used.downloadCost;
}

bool isCap(const std::optional<double>& cap) { return !cap || (std::isfinite(*cap) && *cap > 0); }

} // namespace

const char* countedName(CountedTraffic counted)
{
    switch (counted) {
    case CountedTraffic::received:
        return "received";
    case CountedTraffic::sent:
        return "sent";
    case CountedTraffic::both:
        break;
    }
    return "both";
}

std::optional<CountedTraffic> countedFrom(const std::string& name)
{
    for (CountedTraffic counted : {CountedTraffic::both, CountedTraffic::received, CountedTraffic::sent})
        if (name == countedName(counted))
            return counted;
    return std::nullopt;
}

void checkBudget(const Budget& budget)
{
    if (!budget.capMb && !budget.capMoney)
        throw LTException("A budget needs a cap in megabytes, in money, or both.");
    if (!isCap(budget.capMb))
        throw LTException("A cap in megabytes must be a number above 0.");
    if (!isCap(budget.capMoney))
        throw LTException("A cap in money must be a number above 0.");
    if (budget.billingDay < 1 || budget.billingDay > 31)
        throw LTException("The billing day must be a day of the month from 1 to 31.");
}

BudgetPeriod budgetPeriodOf(TDateTime moment, int billingDay)
{
    int year = 0, month = 0, day = 0;
    DecodeDate(moment, year, month, day);
    if (day < std::min(billingDay, DaysInAMonth(year, month)))
        previousMonth(year, month);
    BudgetPeriod period;
    period.start = periodStartIn(year, month, billingDay);
    nextMonth(year, month);
    period.end = periodStartIn(year, month, billingDay);
    return period;
}

int budgetLevel(double used, double cap)
{
    // Compared as used * 100 >= cap * level: exactly 80 % is 80, also for
    // costs summed record by record (ten of 0.8 make 7.999999999999999).
    constexpr double ROUNDING = 1e-9;
    for (int i = static_cast<int>(std::size(BUDGET_LEVELS)) - 1; i >= 0; --i)
        if (used * 100 >= cap * BUDGET_LEVELS[i] * (1 - ROUNDING))
            return BUDGET_LEVELS[i];
    return 0;
}

BudgetFigures evaluateBudget(const Budget& budget, const BudgetPeriod& period, const Total4Period& used,
                             TDateTime now)
{
    BudgetFigures figures;
    figures.period = period;
    figures.usedMb = megabytesOf(countedBytes(used, budget.counted));
    figures.usedMoney = countedMoney(used, budget.counted);

    // A period seen before it starts or after it ends: as at its start, as at its end.
    now = std::clamp(now, period.start, period.end);
    // Real seconds: a day with a daylight-saving change is 23 or 25 hours long.
    const double elapsed = UnixFromDateTime(now) - UnixFromDateTime(period.start);
    if (elapsed >= SecsPerDay) {
        const double scale = (UnixFromDateTime(period.end) - UnixFromDateTime(period.start)) / elapsed;
        figures.projectedMb = figures.usedMb * scale;
        if (figures.usedMoney)
            figures.projectedMoney = *figures.usedMoney * scale;
    }
    // Today counts as a whole day.
    const double daysLeft = period.end - std::floor(now);
    if (budget.capMb) {
        if (daysLeft > 0)
            figures.leftPerDayMb = std::max(0.0, *budget.capMb - figures.usedMb) / daysLeft;
        figures.level = budgetLevel(figures.usedMb, *budget.capMb);
    }
    if (budget.capMoney && figures.usedMoney) {
        if (daysLeft > 0)
            figures.leftPerDayMoney = std::max(0.0, *budget.capMoney - *figures.usedMoney) / daysLeft;
        figures.level = std::max(figures.level, budgetLevel(*figures.usedMoney, *budget.capMoney));
    }
    return figures;
}
