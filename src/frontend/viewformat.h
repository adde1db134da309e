// How the history views word their figures: the period rows of the day,
// week, month and year views, their cells, and the totals table's texts.
// Shared by the monitor's frames and ltreport.
#pragma once

#include "frontend/datamodel.h"

#include <cstdint>
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

// The rows of the view that contains date.
PeriodRows computePeriod(PeriodView view, TDateTime date, const LogRecords& records, const RecordFilter& filter);

// List cells: "Sent MB" and "Rcved MB" as "%.2f" or "-", "Costs" as
// "%.2f", "-" or "?".
std::string sentMbCell(const Total4Period& t);
std::string receivedMbCell(const Total4Period& t);
std::string costsCell(const Total4Period& t);

// Totals table: megabytes truncated to one decimal, "%.1f Mb"; costs
// "%.2f" or "?".
double truncatedMb(std::uint64_t bytes);
std::string trafficText(double mb);
std::string costText(double cost, bool costsUnknown);

// The meter's status texts of today's total: "S/R: %.2f/%.2f Mb",
// "Costs: %.2f" or "Costs: ?", "Online" or "Offline".
std::string sentReceivedMb(const Total4Period& t); // "%.2f/%.2f Mb"
std::string statusTrafficText(const Total4Period& t);
std::string statusCostsText(const Total4Period& t);
std::string statusOnlineText(bool online);

// A count in groups of three digits: 1234567 gives "1 234 567".
std::string groupDigits(std::uint64_t value);
