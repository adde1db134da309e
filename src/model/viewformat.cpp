#include "model/viewformat.h"

#include "common/ltassert.h"

#include <cmath>
#include <cstdlib>
#include <cstdio>

namespace {

std::string printf2(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

TDateTime periodStartOf(PeriodView view, TDateTime date)
{
    const TDateTime day = std::floor(date);
    int year, month, dayOfMonth;
    DecodeDate(day, year, month, dayOfMonth);
    switch (view) {
    case PeriodView::Day:
        return day;
    case PeriodView::Week:
        return day - DayOfWeek(day) + 1;
    case PeriodView::Month:
        return EncodeDate(year, month, 1);
    case PeriodView::Year:
        return EncodeDate(year, 1, 1);
    }
    return day;
}

int daysInMonthOf(TDateTime date)
{
    int year, month, day;
    DecodeDate(date, year, month, day);
    return DaysInAMonth(year, month);
}

bool isViewDay(TDateTime date) { return date >= FIRST_VIEW_DAY && date < LAST_VIEW_DAY + 1; }

PeriodRows computePeriod(PeriodView view, TDateTime date, const LogRecords& records, const RecordFilter& filter)
{
    PeriodRows rows;
    rows.start = periodStartOf(view, date);
    int year, month, dayOfMonth;
    DecodeDate(rows.start, year, month, dayOfMonth);
    switch (view) {
    case PeriodView::Day:
        rows.title = FormatDateTime("dd/mm/yyyy", rows.start);
        rows.rowFormat = "hh.nn";
        records.totalsFor(rows.start, 1.0 / 24, 24, filter, rows.totals);
        break;
    case PeriodView::Week:
        rows.title = FormatDateTime("dd/mm - ", rows.start) + FormatDateTime("dd/mm/yyyy", rows.start + 6);
        rows.rowFormat = "dd/mm, ddd";
        records.totalsFor(rows.start, 1, 7, filter, rows.totals);
        break;
    case PeriodView::Month:
        rows.title = FormatDateTime("mmmm, yyyy", rows.start);
        rows.rowFormat = "dd/mm, ddd";
        records.totalsFor(rows.start, 1, daysInMonthOf(rows.start), filter, rows.totals);
        break;
    case PeriodView::Year:
        rows.title = "Year " + FormatDateTime("yyyy", rows.start);
        rows.rowFormat = "mmmm";
        for (int m = 1; m <= 12; ++m) {
            const TDateTime first = EncodeDate(year, m, 1);
            rows.totals.push_back(records.totalFor(first, daysInMonthOf(first), filter));
        }
        break;
    }
    return rows;
}

std::string sentMbCell(const Total4Period& t)
{
    const double mb = megabytesOf(t.sent);
    return mb > 0 ? printf2("%.2f", mb) : "-";
}

std::string receivedMbCell(const Total4Period& t)
{
    const double mb = megabytesOf(t.received);
    return mb != 0 ? printf2("%.2f", mb) : "-";
}

std::string costsCell(const Total4Period& t)
{
    if (t.costsUnknown)
        return "?";
    const double cost = t.uploadCost + t.downloadCost;
    return cost > 0 ? printf2("%.2f", cost) : "-";
}

std::string logRecordCell(const LogRecords& records, const LogRecord& record, int column)
{
    LT_ASSERT(column >= 0 && column < LOG_COLUMNS);
    switch (column) {
    case 0:
        return FormatDateTime("dd/mm/yy", record.getStart());
    case 1:
        return FormatDateTime("hh.nn - ", record.getStart()) + FormatDateTime("hh.nn", record.getEnd());
    case 2:
        return records.getConnectionName(&record);
    case 3:
        return records.getPhone(&record);
    case 4:
        return groupDigits(record.getSent());
    case 5:
        return groupDigits(record.getReceived());
    default: { // LOG_COSTS_COLUMN
        double uploadCost = 0, downloadCost = 0, cost = 0;
        const bool priced = records.costOf(record, uploadCost, downloadCost, cost);
        return costText(cost, !priced);
    }
    }
}

std::string pageOfPages(int page, int pagesCount)
{
    return std::to_string(page) + " of " + std::to_string(pagesCount);
}

double truncatedMb(std::uint64_t bytes) { return std::floor(megabytesOf(bytes) * 10) * 0.1; }

std::string trafficText(double mb) { return printf2("%.1f Mb", mb); }

std::string budgetFigureText(const std::optional<double>& value) { return value ? printf2("%.2f", *value) : "-"; }

std::string costText(double cost, bool costsUnknown) { return costsUnknown ? "?" : printf2("%.2f", cost); }

std::string sentReceivedMb(const Total4Period& t)
{
    char text[96];
    std::snprintf(text, sizeof text, "%.2f/%.2f Mb", megabytesOf(t.sent), megabytesOf(t.received));
    return text;
}

std::string statusTrafficText(const Total4Period& t) { return "S/R: " + sentReceivedMb(t); }

std::string statusCostsText(const Total4Period& t)
{
    return "Costs: " + costText(t.uploadCost + t.downloadCost, t.costsUnknown);
}

std::string statusOnlineText(bool online) { return online ? "Online" : "Offline"; }

std::string groupDigits(std::uint64_t value)
{
    if (value < 1000)
        return std::to_string(value);
    std::string text;
    while (value > 999) {
        char group[8];
        std::snprintf(group, sizeof group, text.empty() ? "%.3d" : "%.3d ", static_cast<int>(value % 1000));
        text = group + text;
        value /= 1000;
    }
    return std::to_string(value) + " " + text;
}

std::string axisNumber(double value)
{
    const double magnitude = std::fabs(value);
    if (magnitude < 1e-12)
        return "0";
    if (magnitude < 9007199254740992.0 && magnitude == std::floor(magnitude))
        return (value < 0 ? "-" : "") + groupDigits(static_cast<std::uint64_t>(magnitude));
    char text[400];
    if (magnitude >= 9007199254740992.0) {
        std::snprintf(text, sizeof text, "%.0f", value);
        return text;
    }
    for (int decimals = 1; decimals < 20; ++decimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        if (std::fabs(std::strtod(text, nullptr) - value) <= magnitude * 1e-9)
            break;
    }
    return text;
}
