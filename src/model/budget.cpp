#include "model/budget.h"

#include "errors/ltexception.h"
#include "model/prices.h"
#include "model/viewformat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

int levelToTell(int level, int told) { return level > told ? level : 0; }

std::string megabytesText(double mb)
{
    char text[64];
    if (mb >= MB_PER_GB)
        std::snprintf(text, sizeof text, "%.*f GB", std::fmod(mb, MB_PER_GB) == 0 ? 0 : 1, mb / MB_PER_GB);
    else
        std::snprintf(text, sizeof text, "%.*f MB", mb < 10 ? 1 : 0, mb);
    return text;
}

std::string budgetAlertText(const std::string& connection, const Budget& budget, const BudgetFigures& figures)
{
    const bool traffic = figures.levelMb >= figures.levelMoney && budget.capMb;
    const auto amount = [traffic](double value) { return traffic ? megabytesText(value) : budgetFigureText(value); };
    const double cap = traffic ? *budget.capMb : budget.capMoney.value_or(0);
    const double used = traffic ? figures.usedMb : figures.usedMoney.value_or(0);
    const std::optional<double>& projected = traffic ? figures.projectedMb : figures.projectedMoney;
    std::string text = connection + " has used " + std::to_string(figures.level) + " % of its " + amount(cap) + " (" +
                       amount(used) + ") for the period to " + FormatDateTime("d mmmm", figures.period.end - 1) + ".";
    if (projected)
        text += " At this pace: " + amount(*projected) + ".";
    return text;
}

RealSeconds realSecondsOf(const BudgetPeriod& period, TDateTime now)
{
    return {UnixFromDateTime(period.start), UnixFromDateTime(period.end), UnixFromDateTime(now)};
}

BudgetFigures evaluateBudget(const Budget& budget, const BudgetPeriod& period, const Total4Period& used,
                             TDateTime now)
{
    return evaluateBudget(budget, period, used, now, realSecondsOf(period, now));
}

BudgetFigures evaluateBudget(const Budget& budget, const BudgetPeriod& period, const Total4Period& used,
                             TDateTime now, const RealSeconds& seconds)
{
    BudgetFigures figures;
    figures.period = period;
    figures.usedMb = megabytesOf(countedBytes(used, budget.counted));
    figures.usedMoney = countedMoney(used, budget.counted);

    // A period seen before it starts or after it ends: as at its start, as at its end.
    now = std::clamp(now, period.start, period.end);
    // Real seconds: a day with a daylight-saving change is 23 or 25 hours long.
    const double elapsed = std::clamp(seconds.now, seconds.start, seconds.end) - seconds.start;
    if (elapsed >= SecsPerDay) {
        const double scale = (seconds.end - seconds.start) / elapsed;
        figures.projectedMb = figures.usedMb * scale;
        if (figures.usedMoney)
            figures.projectedMoney = *figures.usedMoney * scale;
    }
    // Today counts as a whole day.
    const double daysLeft = period.end - std::floor(now);
    if (budget.capMb) {
        if (daysLeft > 0)
            figures.leftPerDayMb = std::max(0.0, *budget.capMb - figures.usedMb) / daysLeft;
        figures.levelMb = budgetLevel(figures.usedMb, *budget.capMb);
        figures.percentMb = figures.usedMb / *budget.capMb * 100;
    }
    if (budget.capMoney && figures.usedMoney) {
        if (daysLeft > 0)
            figures.leftPerDayMoney = std::max(0.0, *budget.capMoney - *figures.usedMoney) / daysLeft;
        figures.levelMoney = budgetLevel(*figures.usedMoney, *budget.capMoney);
        figures.percentMoney = *figures.usedMoney / *budget.capMoney * 100;
    }
    figures.level = std::max(figures.levelMb, figures.levelMoney);
    return figures;
}
