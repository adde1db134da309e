#include "programs/ltreport/reportformat.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace {

std::size_t displayWidth(const std::string& text)
{
    // UTF-8 continuation bytes take no column of their own.
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

void writeText(std::ostream& out, const ReportTable& table)
{
    if (!table.heading.empty())
        out << table.heading << "\n";
    std::vector<std::size_t> widths(table.columns.size());
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
        widths[c] = displayWidth(table.columns[c]);
        for (const auto& row : table.rows)
            widths[c] = std::max(widths[c], displayWidth(row[c]));
    }
    auto line = [&](const std::vector<std::string>& cells) {
        std::string text;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const std::string pad(widths[c] - displayWidth(cells[c]), ' ');
            text += c < table.leftAligned ? cells[c] + pad : pad + cells[c];
            if (c + 1 < cells.size())
                text += "  ";
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        out << text << "\n";
    };
    if (!table.columns.empty()) {
        line(table.columns);
        for (const auto& row : table.rows)
            line(row);
    }
    // Under a table the summary lines up; alone it reads as the meter's status line.
    std::size_t nameWidth = 0;
    if (!table.columns.empty())
        for (const auto& [name, value] : table.summary)
            nameWidth = std::max(nameWidth, displayWidth(name));
    if (!table.summary.empty() && !table.columns.empty())
        out << "\n";
    for (const auto& [name, value] : table.summary)
        out << name << ":" << std::string(std::max(nameWidth, displayWidth(name)) - displayWidth(name) + 1, ' ')
            << value << "\n";
}

void writeCsv(std::ostream& out, const ReportTable& table)
{
    auto line = [&](const std::vector<std::string>& cells) {
        for (std::size_t c = 0; c < cells.size(); ++c)
            out << (c ? "," : "") << csvField(cells[c]);
        out << "\r\n";
    };
    if (!table.columns.empty()) {
        line(table.columns);
        for (const auto& row : table.rows)
            line(row);
    } else {
        for (const auto& [name, value] : table.summary)
            line({name, value});
    }
}

void writeJson(std::ostream& out, const ReportTable& table)
{
    nlohmann::ordered_json json;
    json["title"] = table.heading;
    json["rows"] = nlohmann::ordered_json::array();
    for (const auto& row : table.jsonRows)
        json["rows"].push_back(row);
    if (table.jsonRows.empty()) {
        for (const auto& row : table.rows) {
            nlohmann::ordered_json object;
            for (std::size_t c = 0; c < table.columns.size(); ++c)
                object[table.columns[c]] = row[c];
            json["rows"].push_back(object);
        }
    }
    nlohmann::ordered_json summary = nlohmann::ordered_json::object();
    for (const auto& [name, value] : table.summary)
        summary[name] = value;
    json["summary"] = summary;
    // Bytes that are not UTF-8 (an old interface name) are replaced, not fatal.
    out << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

} // namespace

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

void writeReport(std::ostream& out, const ReportTable& table, ReportFormat format)
{
    switch (format) {
    case ReportFormat::Text:
        writeText(out, table);
        break;
    case ReportFormat::Csv:
        writeCsv(out, table);
        break;
    case ReportFormat::Json:
        writeJson(out, table);
        break;
    }
}
