// ltreport metrics: every connection's traffic and costs (the whole log
// and the running hour), the live table's state, the log's health and the
// budgets, in Prometheus's text exposition format (0.0.4), for
// node_exporter's textfile collector.
#pragma once

#include "common/datetime.h"

#include <string>
#include <vector>

class BudgetStore;
class SharedStatisticsReader;

struct MetricsFamily {
    struct Sample {
        std::string labels; // {name="value",...}, quoted; empty for none
        double value = 0;
    };
    std::string name;
    const char* type = "gauge"; // "counter" or "gauge"
    const char* help = "";
    std::vector<Sample> samples;
};

// A label value as the format quotes it: backslash, double quote and new
// line escaped; a byte that is not UTF-8 is written as the four characters
// \xHH, so that names differing in such bytes stay apart.
std::string metricsLabelValue(const std::string& text);

// The families, from one pass over the log (no prices with an empty
// priceFile); the live table is read around the log's read, so that the two
// agree. Throws LTException for a price file that fails to load (with its
// line) or a file that cannot be read; damaged regions are read past and
// counted.
std::vector<MetricsFamily> collectMetrics(const std::string& logFile, const std::string& priceFile,
                                          SharedStatisticsReader& live, const BudgetStore& budgets, TDateTime now);

// The exposition: # HELP, # TYPE and the samples of each family.
std::string metricsText(const std::vector<MetricsFamily>& families);

// For --textfile: every counter is held at the value the last run in the
// folder wrote (kept in DIR/.linktally.prom.state) while the log is the
// same file and has not shrunk, so that a running hour missing from the
// live table for a while (a killed service, a link not shown) reads as no
// growth rather than a reset. A new or shorter log starts afresh.
void holdCounters(std::vector<MetricsFamily>& families, const std::string& folder, const std::string& logFile);

// DIR/linktally.prom replaced whole (a temporary file in DIR, mode 0644,
// then a rename), so that the collector never reads half of it; the state
// holdCounters keeps, after it. Throws LTException naming DIR when it is
// missing, not a folder or not writable.
void writeMetricsFile(const std::string& folder, const std::vector<MetricsFamily>& families,
                      const std::string& logFile);
