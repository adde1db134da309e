// How the history views word their figures: the period rows of the day,
// week, month and year views, their cells, the connection log's rows and
// the totals table's texts. Shared by the monitor's frames and ltreport.
#pragma once

#include "log/logrecord.h"
#include "model/datamodel.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

enum class PeriodView { Day, Week, Month, Year };

struct PeriodRows {
    TDateTime start = 0;   // the period's first day
    std::string title;     // shown under the totals
    std::string rowFormat; // column 0 of each row
    listOfTotals totals;   // one per row
};

// The first day of the view's period that contains date: its midnight, the
// Sunday starting its week, the first of its month or of its year.
TDateTime periodStartOf(PeriodView view, TDateTime date);

// The days a view can show, those the log can hold: 1950-01-01 to
// 2299-12-31. Pickers and arrows stop there, so every period fits too.
inline constexpr TDateTime FIRST_VIEW_DAY = LOG_DATE_MIN;
inline constexpr TDateTime LAST_VIEW_DAY = LOG_DATE_MAX - 1;
bool isViewDay(TDateTime date);

// The number of days of date's month: 28 to 31.
int daysInMonthOf(TDateTime date);

// The rows of the view that contains date.
PeriodRows computePeriod(PeriodView view, TDateTime date, const LogRecords& records, const RecordFilter& filter);

// List cells: "Sent MB" and "Rcved MB" as "%.2f" or "-", "Costs" as
// "%.2f", "-" or "?".
std::string sentMbCell(const Total4Period& t);
std::string receivedMbCell(const Total4Period& t);
std::string costsCell(const Total4Period& t);

// The connection log's list: one row a record, in these columns.
inline constexpr int LOG_COLUMNS = 7;
inline constexpr std::array<const char*, LOG_COLUMNS> LOG_COLUMN_CAPTIONS = {
    "Date", "From - To", "Connection Name", "Phone", "Sent Bytes", "Rcved Bytes", "Costs"};
// The counts and the costs, from this column on, stand right-aligned.
inline constexpr int LOG_FIRST_RIGHT_ALIGNED = 4;
inline constexpr int LOG_COSTS_COLUMN = 6;

// One cell of a record's row: its start "dd/mm/yy"; "hh.nn - hh.nn" from
// start to end; its connection name; its phone; sent and received bytes
// by groupDigits; its costs at the prices in force at its start, "%.2f",
// or "?" when none is.
std::string logRecordCell(const LogRecords& records, const LogRecord& record, int column);
// "N of M": the page shown among the pages.
std::string pageOfPages(int page, int pagesCount);

// Totals table: megabytes truncated to one decimal, "%.1f Mb"; costs
// "%.2f" or "?".
double truncatedMb(std::uint64_t bytes);
std::string trafficText(double mb);
std::string costText(double cost, bool costsUnknown);

// A budget's figures: "%.2f", or "-" for one not set or not known yet.
std::string budgetFigureText(const std::optional<double>& value);

// The meter's status texts of today's total: "S/R: %.2f/%.2f Mb",
// "Costs: %.2f" or "Costs: ?", "Online" or "Offline".
std::string sentReceivedMb(const Total4Period& t); // "%.2f/%.2f Mb"
std::string statusTrafficText(const Total4Period& t);
std::string statusCostsText(const Total4Period& t);
std::string statusOnlineText(bool online);

// A count in groups of three digits: 1234567 gives "1 234 567".
std::string groupDigits(std::uint64_t value);
// A chart axis's number, never in exponent form: a whole number grouped as
// groupDigits does ("5 000 000"), a fraction with the decimals it needs
// ("0.00002", "2.5").
std::string axisNumber(double value);
