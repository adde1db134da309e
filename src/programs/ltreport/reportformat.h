// ltreport's output: one table (a heading, columns, rows and a summary of
// named values) written as aligned text, CSV or JSON.
#pragma once

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

struct ReportTable {
    std::string heading;
    std::vector<std::string> columns;
    std::size_t leftAligned = 1; // the first columns are labels; the others numbers, aligned right
    std::vector<std::vector<std::string>> rows;
    std::vector<std::pair<std::string, std::string>> summary;
    // Where a report has typed values (numbers, null), JSON writes these
    // rows instead of the texts.
    std::vector<nlohmann::ordered_json> jsonRows;
};

enum class ReportFormat { Text, Csv, Json };

void writeReport(std::ostream& out, const ReportTable& table, ReportFormat format);
// One CSV field, quoted when it holds a comma, quote or line break.
std::string csvField(const std::string& text);
