#include "programs/ltreport/metrics.h"

#include "common/common.h"
#include "errors/ltexception.h"
#include "log/logreader.h"
#include "model/budgetstore.h"
#include "model/budgetwatch.h"
#include "model/datamodel.h"
#include "model/sharedstatreader.h"
#include "model/startup.h"
#include "model/todaytot.h"
#include "platform/files.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <map>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Connection {
    bool seen = false;   // in the log or the live table
    bool dialup = false;
    bool up = false;     // a row of the live table
    Total4Period total;
};

// One pass over the log: each connection's totals, the budgets' periods,
// the records counted.
struct LogSums {
    DataList& names;
    const Prices& prices;
    std::vector<Connection>& connections; // by entry id
    std::vector<BudgetPeriodSum>& budgets;
    std::uint64_t records = 0;

    Connection& connection(int id)
    {
        if (static_cast<std::size_t>(id) >= connections.size())
            connections.resize(static_cast<std::size_t>(id) + 1);
        return connections[static_cast<std::size_t>(id)];
    }
    void add(unsigned char type, std::string_view entryName, std::string_view, std::string_view, std::string_view,
             std::string_view, TDateTime start, TDateTime, std::uint64_t sent, std::uint64_t received)
    {
        const int id = names.idOf(entryName);
        Connection& c = connection(id);
        c.seen = true;
        c.dialup = type == RAS_CONNECTION;
        c.total.addRecord(prices, id, start, sent, received);
        ++records;
        for (BudgetPeriodSum& budget : budgets)
            budget.add(entryName, start, sent, received, prices, names);
    }
    void sortByStart() const {}
};

std::string number(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

using Labels = std::vector<std::pair<const char*, std::string>>;

std::string labelsText(const Labels& labels)
{
    if (labels.empty())
        return "";
    std::string text = "{";
    for (std::size_t i = 0; i < labels.size(); ++i)
        text += (i ? "," : "") + std::string(labels[i].first) + "=\"" + metricsLabelValue(labels[i].second) + '"';
    return text + '}';
}

MetricsFamily newFamily(const char* name, const char* type, const char* help)
{
    MetricsFamily family;
    family.name = name;
    family.type = type;
    family.help = help;
    return family;
}

void add(MetricsFamily& family, const Labels& labels, double value) { family.samples.push_back({labelsText(labels), value}); }

// The state a textfile run leaves for the next: the log's identity, then
// each counter's series and value, a line each.
struct LogIdentity {
    unsigned long long device = 0, inode = 0, size = 0;
};

LogIdentity identityOf(const std::string& logFile)
{
    struct stat st {};
    if (::stat(logFile.c_str(), &st) != 0)
        return {};
    return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
            static_cast<unsigned long long>(st.st_size)};
}

std::string statePath(const std::string& folder) { return folder + "/.linktally.prom.state"; }

// Writes DIR/name whole: a temporary file of its own in DIR (not ending in
// .prom, which the collector reads), mode 0644 whatever the umask, pushed
// to the disk and renamed over the old one, which need not be writable.
void replaceInFolder(const std::string& folder, const std::string& name, const std::string& text)
{
    std::string temporary = folder + "/." + name + ".XXXXXX";
    platform::UniqueFd fd(::mkstemp(temporary.data()));
    if (!fd)
        throw LTException("can't write the metrics to " + folder + ": " + platform::fileErrorText(errno));
    int error = platform::writeAll(fd.get(), text);
    if (error == 0 && ::fchmod(fd.get(), 0644) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = errno;
    fd.reset();
    if (error == 0 && ::rename(temporary.c_str(), (folder + "/" + name).c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        throw LTException("can't write the metrics to " + folder + ": " + platform::fileErrorText(error));
    }
}

// Length of the UTF-8 sequence that starts text[at], or 0 when it is none.
std::size_t utf8Length(const std::string& text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(at);
    std::size_t length = first < 0x80 ? 1 : (first >> 5) == 0x6 ? 2 : (first >> 4) == 0xE ? 3 : (first >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    if ((length == 2 && first < 0xC2) || (length == 3 && first == 0xE0 && byte(at + 1) < 0xA0) ||
        (length == 3 && first == 0xED && byte(at + 1) >= 0xA0) || (length == 4 && first == 0xF0 && byte(at + 1) < 0x90) ||
        (length == 4 && (first > 0xF4 || (first == 0xF4 && byte(at + 1) >= 0x90))))
        return 0;
    return length;
}

} // namespace

std::string metricsLabelValue(const std::string& text)
{
    std::string quoted;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8Length(text, at);
        if (length == 0) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\\\x%02X", static_cast<unsigned char>(text[at]));
            quoted += hex;
            ++at;
            continue;
        }
        const char c = text[at];
        if (c == '\\')
            quoted += "\\\\";
        else if (c == '"')
            quoted += "\\\"";
        else if (c == '\n')
            quoted += "\\n";
        else
            quoted.append(text, at, length);
        at += length;
    }
    return quoted;
}

std::vector<MetricsFamily> collectMetrics(const std::string& logFile, const std::string& priceFile,
                                          SharedStatisticsReader& live, const BudgetStore& budgetStore, TDateTime now)
{
    History history; // names and prices; no record is kept
    DataList& names = history.entryNames;
    if (!priceFile.empty())
        history.prices.load(priceFile);
    std::vector<BudgetPeriodSum> budgets;
    for (const auto& [connection, budget] : budgetStore.budgets())
        budgets.emplace_back(connection, budget, now, names);

    std::vector<Connection> connections;
    LogSums sums{names, history.prices, connections, budgets};
    std::uint64_t damaged = 0;
    LogReader reader(logFile);
    // The service logs a running hour and starts the next one within one
    // pass, and counts that in the table's log version; a copy of the table
    // is always of a completed pass. So a copy with the same version before
    // and after the read goes with the records read, and a counter never
    // counts an hour twice or not at all. Records written meanwhile are read
    // on (they come hourly).
    live.refresh();
    for (int pass = 0; pass < 5; ++pass) {
        const std::int32_t version = live.getLogVersion();
        // A torn tail is no damaged region: the service cuts it off.
        readPastCorruption([&] { reader.readAll(sums); }, [&](const LTDataCorruptedException& e) {
            if (!dynamic_cast<const LTTornFrameException*>(&e))
                ++damaged;
        });
        live.refresh();
        if (live.getLogVersion() == version)
            break;
    }

    // The running hour of each connection the live table shows.
    const TDateTime today = std::floor(now);
    for (std::uint32_t i = 0; i < live.size(); ++i) {
        Connection& c = sums.connection(names.idOf(live.getName(i)));
        if (!c.up && !c.seen)
            c.dialup = live.getConnectionType(i) == RAS_CONNECTION;
        c.seen = c.up = true;
    }
    std::map<std::string, int> byName; // sorted, for a steady output
    for (std::size_t id = 0; id < connections.size(); ++id)
        if (connections[id].seen)
            byName[names.nameOf(static_cast<int>(id))] = static_cast<int>(id);

    MetricsFamily received = newFamily("linktally_received_bytes_total", "counter",
                           "Bytes the connection received: its records in cn.log and the running hour.");
    MetricsFamily sent = newFamily("linktally_sent_bytes_total", "counter",
                       "Bytes the connection sent: its records in cn.log and the running hour.");
    MetricsFamily cost = newFamily("linktally_cost_total", "counter",
                       "Costs of the connection's traffic in the price table's currency, where every record has a price.");
    MetricsFamily up = newFamily("linktally_connection_up", "gauge", "1 while the service's live table shows the connection.");
    for (const auto& [name, id] : byName) {
        Connection& c = connections[static_cast<std::size_t>(id)];
        RecordFilter_byConnectionName filter(&names, id);
        const Total4Period total = c.total + (c.up ? TodayTotals::liveTotalOn(today, filter, live, history.prices, names)
                                                   : Total4Period{});
        const Labels labels{{"connection", name}, {"type", c.dialup ? "dialup" : "lan"}};
        add(received, labels, static_cast<double>(total.received));
        add(sent, labels, static_cast<double>(total.sent));
        if (!total.costsUnknown)
            add(cost, labels, total.uploadCost + total.downloadCost);
        add(up, labels, c.up ? 1 : 0);
    }
    MetricsFamily service = newFamily("linktally_service_up", "gauge", "1 when a Linktally service owns the live table.");
    add(service, {}, live.hasService() ? 1 : 0);
    MetricsFamily records = newFamily("linktally_log_records", "gauge", "Whole records in cn.log.");
    add(records, {}, static_cast<double>(sums.records));
    MetricsFamily damage = newFamily("linktally_log_damaged_regions", "gauge",
                         "Damaged regions of cn.log, read past (a torn tail, which the service cuts off, is none).");
    add(damage, {}, static_cast<double>(damaged));

    MetricsFamily cap = newFamily("linktally_budget_cap_bytes", "gauge", "The budget's cap in traffic, in bytes.");
    MetricsFamily level = newFamily("linktally_budget_level", "gauge",
                        "The budget's level as the monitor tells it: 0, 80, 90 or 100 (% of the cap reached).");
    MetricsFamily used = newFamily("linktally_budget_used_ratio", "gauge", "The share of the budget's cap used in the period.");
    MetricsFamily projected = newFamily("linktally_budget_projected_ratio", "gauge",
                            "The share of the budget's cap projected at the period's end at this pace.");
    MetricsFamily periodEnd = newFamily("linktally_budget_period_end_timestamp_seconds", "gauge",
                            "When the budget's period ends (the next one starts), in seconds since the epoch.");
    const double nowSeconds = UnixFromDateTime(now);
    for (const BudgetPeriodSum& budget : budgets) {
        const auto known = byName.find(budget.connection);
        if (known == byName.end())
            continue; // never seen: no type to give it
        const Connection& c = connections[static_cast<std::size_t>(known->second)];
        const BudgetFigures f = budget.figures(live, now, nowSeconds, history.prices, names);
        const std::string type = c.dialup ? "dialup" : "lan";
        const Labels labels{{"connection", budget.connection}, {"type", type}};
        if (budget.budget.capMb)
            add(cap, labels, std::round(*budget.budget.capMb * 1048576));
        for (const auto& [kind, capValue, levelOf, percent, projection] :
             {std::tuple{"traffic", budget.budget.capMb, f.levelMb, f.percentMb, f.projectedMb},
              std::tuple{"money", budget.budget.capMoney, f.levelMoney, f.percentMoney, f.projectedMoney}}) {
            const Labels capLabels{{"connection", budget.connection}, {"type", type}, {"cap", kind}};
            if (percent) // a cap set, and known use (money: every record priced)
                add(level, capLabels, levelOf);
            if (percent)
                add(used, capLabels, *percent / 100);
            if (projection && capValue)
                add(projected, capLabels, *projection / *capValue);
        }
        add(periodEnd, labels, budget.seconds.end);
    }
    return {std::move(received), std::move(sent), std::move(cost), std::move(up), std::move(service),
            std::move(records), std::move(damage), std::move(cap), std::move(level), std::move(used),
            std::move(projected), std::move(periodEnd)};
}

std::string metricsText(const std::vector<MetricsFamily>& families)
{
    std::string text;
    for (const MetricsFamily& family : families) {
        text += "# HELP " + family.name + " " + family.help + "\n# TYPE " + family.name + " " + family.type + "\n";
        for (const MetricsFamily::Sample& sample : family.samples)
            text += family.name + sample.labels + " " + number(sample.value) + "\n";
    }
    return text;
}

void holdCounters(std::vector<MetricsFamily>& families, const std::string& folder, const std::string& logFile)
{
    const std::optional<std::string> state = platform::readWholeFile(statePath(folder));
    if (!state)
        return;
    std::istringstream lines(*state);
    std::string line;
    LogIdentity was;
    if (!std::getline(lines, line) ||
        std::sscanf(line.c_str(), "log %llu %llu %llu", &was.device, &was.inode, &was.size) != 3)
        return;
    const LogIdentity is = identityOf(logFile);
    if (is.device != was.device || is.inode != was.inode || is.size < was.size)
        return; // a new log, or one cut shorter: its counters start again
    std::map<std::string, double> last;
    while (std::getline(lines, line)) {
        const std::size_t space = line.rfind(' ');
        double value = 0;
        if (space != std::string::npos && std::sscanf(line.c_str() + space + 1, "%lf", &value) == 1)
            last[line.substr(0, space)] = value;
    }
    for (MetricsFamily& family : families) {
        if (std::string_view(family.type) != "counter")
            continue;
        for (MetricsFamily::Sample& sample : family.samples)
            if (const auto held = last.find(family.name + sample.labels); held != last.end())
                sample.value = std::max(sample.value, held->second);
    }
}

void writeMetricsFile(const std::string& folder, const std::vector<MetricsFamily>& families,
                      const std::string& logFile)
{
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0)
        throw LTException("can't write the metrics to " + folder + ": " + platform::fileErrorText(errno));
    if (!S_ISDIR(st.st_mode))
        throw LTException("can't write the metrics to " + folder + ": it is not a folder");
    const LogIdentity log = identityOf(logFile);
    replaceInFolder(folder, "linktally.prom", metricsText(families));
    std::string state = "log " + std::to_string(log.device) + " " + std::to_string(log.inode) + " " +
                        std::to_string(log.size) + "\n";
    for (const MetricsFamily& family : families)
        if (std::string_view(family.type) == "counter")
            for (const MetricsFamily::Sample& sample : family.samples)
                state += family.name + sample.labels + " " + number(sample.value) + "\n";
    replaceInFolder(folder, ".linktally.prom.state", state);
}
