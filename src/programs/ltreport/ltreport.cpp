// ltreport: Linktally's history on the command line, with the rows and
// texts of the monitor's views.
#include "common/common.h"
#include "common/dbglogger.h"
#include "log/logframe.h"
#include "model/budgetstore.h"
#include "model/datamodel.h"
#include "model/logcheck.h"
#include "model/optionsmodel.h"
#include "model/sharedstatreader.h"
#include "model/todaytot.h"
#include "model/viewformat.h"
#include "platform/files.h"
#include "platform/ras.h"
#include "platform/registry.h"
#include "programs/ltreport/budgetreport.h"
#include "programs/ltreport/metrics.h"
#include "programs/ltreport/reportformat.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>

namespace {

constexpr int pageSize = 24;

struct Options {
    std::string connection;
    std::string format = "text";
    std::string date;
    int page = 0;
    bool pageGiven = false; // else the last page
};

// budget --set and --remove.
struct BudgetOptions {
    bool set = false;
    bool remove = false;
    std::optional<double> capMb, capMoney;
    int billingDay = 1;
    std::string counted = "both";
    std::optional<std::string> notify; // "yes" or "no"; unset keeps the last choice
};

// The history as the monitor sees it (entry names, prices, the whole log)
// and the connection reported on.
struct Model : History {
    std::string logFile;
    std::unique_ptr<RecordFilter_byConnectionName> filter;
};

std::string logFileName() { return monitor::getConnectionLogFile(); }

// Each damaged region once, with where it is; the report goes on after it.
void reportCorrupted(const LTDataCorruptedException& e)
{
    std::cerr << "ltreport: cn.log: " << e.what();
    if (e.offset() >= 0)
        std::cerr << " (" << e.skipped() << ")";
    std::cerr << "\n";
}

// A file that exists but cannot be read is an error; a missing one is an
// empty history. A folder, a device or a FIFO is never read: a device may
// never end.
void requireReadable(const std::string& path)
{
    const int error = platform::readableFileError(path);
    if (error == 0 || error == ENOENT)
        return;
    throw LTException("can't read " + path + ": " + platform::fileErrorText(error));
}

// The user's price table; none for an account without a home (the
// metrics timer's), and its folder is not made for a report.
std::string userPriceFile()
{
    const std::optional<std::string> folder = monitor::findDataFolder();
    return folder ? *folder + "/" + PRICE_FILE_NAME : "";
}

std::string storedConnection()
{
    std::string name;
    const auto key = platform::RegistryKey::open(userSettingsKeyPath(), false);
    if (key)
        key->readString("Connection", name);
    return name;
}

void loadModel(Model& m, const Options& options)
{
    m.logFile = logFileName();
    const std::string priceFile = userPriceFile();
    requireReadable(m.logFile);
    requireReadable(priceFile);
    std::string priceError;
    const std::unique_ptr<RasProvider> ras = makeSystemRasProvider();
    // The names' pass meets a damaged record too: it is reported once, below.
    std::string interfacesError;
    loadEntryNamesAndPrices(*ras, m.entryNames, m.prices, m.logFile, priceFile, true,
                            [](const LTDataCorruptedException&) {}, &priceError, &interfacesError);
    if (!interfacesError.empty())
        std::cerr << "ltreport: " << interfacesError << " (the interfaces' names are left out)\n";
    if (!priceError.empty())
        throw LTException(priceError); // it names the file and the line
    // Connections only the live table knows, as the meter registers them.
    SharedStatisticsReader live;
    live.refresh();
    for (std::uint32_t i = 0; i < live.size(); ++i)
        m.entryNames.idOf(live.getName(i));
    LogReader reader(m.logFile);
    readPastCorruption([&] { reader.readAll(m.records); }, reportCorrupted);
    m.records.sortByStart();
    int id = 0;
    if (!options.connection.empty()) {
        id = m.entryNames.findId(options.connection);
        if (id < 0)
            throw LTException("unknown connection '" + options.connection + "' (see 'ltreport connections')");
    } else {
        id = std::max(0, m.entryNames.findId(storedConnection()));
    }
    m.filter = std::make_unique<RecordFilter_byConnectionName>(&m.entryNames, id);
}

TDateTime dateOption(const Options& options)
{
    if (options.date.empty())
        return std::floor(Now());
    TDateTime date = 0;
    if (!TryStrToDate(options.date, date) || !isViewDay(date))
        throw LTException("'" + options.date + "' is not a valid date (give YYYY-MM-DD, as " + DateToISO(std::floor(Now())) +
                          "; the short date of your locale, as " + DateToStr(std::floor(Now())) + ", is read too)");
    return date;
}

ReportTable today(Model& m)
{
    SharedStatisticsReader live;
    live.refresh();
    // Today's records from the model, which already read past any corrupted
    // one, and the live part as the meter adds it.
    const TDateTime day = std::floor(Now());
    const Total4Period total = m.records.totalFor(day, 1, *m.filter) +
                               TodayTotals::liveTotalOn(day, *m.filter, live, m.prices, m.entryNames);
    const std::string name = m.filter->getConnectionName();
    bool online = false;
    for (std::uint32_t i = 0; i < live.size(); ++i)
        online = online || name == live.getName(i);
    ReportTable table;
    table.heading = name + ", " + FormatDateTime("dd/mm/yyyy", day);
    // The meter's status line.
    table.summary = {{"S/R", sentReceivedMb(total)},
                     {"Costs", costText(total.uploadCost + total.downloadCost, total.costsUnknown)},
                     {"Status", statusOnlineText(online)}};
    return table;
}

ReportTable period(Model& m, PeriodView view, TDateTime date)
{
    const PeriodRows rows = computePeriod(view, date, m.records, *m.filter);
    ReportTable table;
    table.heading = m.filter->getConnectionName() + ", " + rows.title;
    table.columns = {view == PeriodView::Day ? "Hour" : "Date", "Sent MB", "Rcved MB", "Costs"};
    for (const Total4Period& t : rows.totals)
        table.rows.push_back({FormatDateTime(rows.rowFormat, t.start), sentMbCell(t), receivedMbCell(t), costsCell(t)});
    const Total4Period sum = sumOfTotals(rows.totals);
    const double sentMb = truncatedMb(sum.sent), receivedMb = truncatedMb(sum.received);
    table.summary = {{"Totals", rows.title},
                     {"Sent", trafficText(sentMb)},
                     {"Received", trafficText(receivedMb)},
                     {"Both Directions", trafficText(sentMb + receivedMb)},
                     {"Upload costs", costText(sum.uploadCost, sum.costsUnknown)},
                     {"Download costs", costText(sum.downloadCost, sum.costsUnknown)},
                     {"Costs", costText(sum.uploadCost + sum.downloadCost, sum.costsUnknown)}};
    return table;
}

ReportTable log(Model& m, const Options& options)
{
    const LogRecordsPager pager(pageSize, m.records, *m.filter);
    // As the view's page box: clamped to the pages there are.
    const int page = options.pageGiven ? std::max(1, std::min(options.page, pager.getPagesCount()))
                                       : pager.getPagesCount();
    listOfRecords records;
    pager.getPage(page, records);
    ReportTable table;
    const std::string pageText = pageOfPages(page, pager.getPagesCount());
    table.heading = m.filter->getConnectionName() + ", page " + pageText;
    table.columns.assign(LOG_COLUMN_CAPTIONS.begin(), LOG_COLUMN_CAPTIONS.end());
    table.leftAligned = LOG_FIRST_RIGHT_ALIGNED;
    for (const LogRecord* r : records) {
        std::vector<std::string> row;
        for (int column = 0; column < LOG_COLUMNS; ++column)
            row.push_back(logRecordCell(m.records, *r, column));
        table.rows.push_back(std::move(row));
    }
    table.summary = {{"Page", pageText}};
    return table;
}

ReportTable live()
{
    SharedStatisticsReader reader;
    reader.refresh();
    ReportTable table;
    table.heading = "Live connections";
    table.columns = {"Name", "Type", "Quantum sent", "Quantum received", "Raw sent", "Raw received"};
    for (std::uint32_t i = 0; i < reader.size(); ++i)
        table.rows.push_back({reader.getName(i), reader.getConnectionType(i) == RAS_CONNECTION ? "dial-up" : "LAN",
                              std::to_string(reader.getQuantumSent(i)), std::to_string(reader.getQuantumReceived(i)),
                              std::to_string(reader.getLastSent(i)), std::to_string(reader.getLastReceived(i))});
    table.summary = {{"Service", reader.isActive() ? "active" : "not running"}};
    return table;
}

ReportTable connections(const Model& m)
{
    ReportTable table;
    table.heading = "Connections";
    table.columns = {"Id", "Name"};
    for (int id = 0; id < m.entryNames.size(); ++id)
        table.rows.push_back({std::to_string(id), m.entryNames.nameOf(id)});
    table.summary = {{"Selected", m.filter->getConnectionName()}};
    return table;
}

// The log's health, walked as the readers walk it.
struct LogCheck {
    ReportTable table;
    bool damaged = false;
};

LogCheck check()
{
    const std::string path = logFileName();
    requireReadable(path);
    LogCheck result;
    result.table.heading = path;
    result.table.columns = {"Offset", "Bytes", "Damage"};
    const platform::FileReader file(path);
    if (!file.isOpen()) {
        result.table.summary = {{"Whole records", "0"}, {"Damaged regions", "0"}, {"Torn tail", "none"},
                                {"Status", "no log yet"}};
        return result;
    }
    LogScan scan;
    PlausibilityCheck plausibility(Now());
    for (int look = 0; look < 5; ++look) {
        plausibility = PlausibilityCheck(Now());
        FileLogBytes bytes(file);
        scan = scanLog(bytes, [&](std::int64_t offset, std::int64_t length, const LogRecordFields& record) {
            plausibility.add(offset, length, record);
        });
        // A tail the service was appending is no torn tail: looked at again.
        if (scan.tailLength() == 0 || !appendInProgress(file, scan.size))
            break;
    }
    const std::vector<SuspiciousRecord> suspicious = plausibility.finish();
    for (const DamagedRegion& region : scan.damaged)
        result.table.rows.push_back({std::to_string(region.offset), std::to_string(region.length), region.reason});
    for (const SuspiciousRecord& record : suspicious)
        result.table.rows.push_back({std::to_string(record.offset), std::to_string(record.length), record.reason});
    if (scan.tailLength() > 0)
        result.table.rows.push_back({std::to_string(scan.wholeEnd), std::to_string(scan.tailLength()),
                                     "torn tail (the service keeps it in cn.log.damaged and cuts it off when it starts)"});
    result.damaged = !scan.clean() || !suspicious.empty();
    result.table.summary = {
        {"Whole records", std::to_string(scan.records)},
        {"Damaged regions", std::to_string(scan.damaged.size())},
        {"Suspicious", std::to_string(suspicious.size())},
        {"Torn tail", scan.tailLength() > 0 ? std::to_string(scan.tailLength()) +
                                                  (scan.tailLength() == 1 ? " byte" : " bytes") + " at offset " +
                                                  std::to_string(scan.wholeEnd)
                                            : "none"},
        {"Status", !scan.clean() ? "damaged" : !suspicious.empty() ? "suspicious" : "clean"}};
    return result;
}

ReportFormat formatOf(const std::string& name)
{
    return name == "csv" ? ReportFormat::Csv : name == "json" ? ReportFormat::Json : ReportFormat::Text;
}

// The connection --set and --remove act on: the one named, else the
// monitor's choice.
std::string budgetConnection(const Options& options)
{
    const std::string name = options.connection.empty() ? storedConnection() : options.connection;
    if (name.empty())
        throw LTException("name the connection with --connection");
    return name;
}

Budget budgetFromOptions(const BudgetOptions& b, const std::optional<Budget>& old)
{
    Budget budget;
    budget.notify = b.notify ? *b.notify == "yes" : !old || old->notify; // else the last choice stays
    budget.capMb = b.capMb;
    budget.capMoney = b.capMoney;
    budget.billingDay = b.billingDay;
    budget.counted = countedFrom(b.counted).value_or(CountedTraffic::both);
    return budget;
}

// Shows the budgets; after --set or --remove, the one changed (status 0),
// else each with the exit status a script acts on. A budget may be set for a
// connection the log does not know yet.
int budget(Options options, const BudgetOptions& b)
{
    const TDateTime date = dateOption(options);
    std::vector<std::string> connections;
    bool changed = false;
    {
        BudgetStore store;
        if (b.set || b.remove) {
            const std::string name = budgetConnection(options);
            changed = true;
            if (b.remove)
                store.removeBudget(name);
            else
                store.setBudget(name, budgetFromOptions(b, store.budgetOf(name)));
            if (b.set)
                connections = {name};
        } else if (!options.connection.empty()) {
            connections = {options.connection};
        } else {
            for (const std::string& name : store.connections()) {
                if (store.budgetOf(name))
                    connections.push_back(name);
                else
                    std::cerr << "ltreport: the budget of '" << name
                              << "' in the settings (Budgets.reg) does not read as one; left out\n";
            }
        }
    }
    options.connection.clear(); // the report names its connections itself
    Model model;
    loadModel(model, options);
    SharedStatisticsReader live;
    live.refresh();
    const BudgetReport report = budgetReport(model, BudgetStore(), connections, date, Now(), live);
    writeReport(std::cout, report.table, formatOf(options.format));
    if (!std::cout.good())
        return 1;
    return changed ? 0 : budgetExitStatus(report.highestLevel);
}

// The exposition on standard output, or written whole into the folder.
int metrics(const std::string& textfileFolder, const std::string& prices)
{
    if (!prices.empty() && platform::readableFileError(prices) == ENOENT)
        throw LTException("can't read " + prices + ": " + platform::fileErrorText(ENOENT));
    const std::string priceFile = !prices.empty() ? prices : userPriceFile();
    requireReadable(logFileName());
    SharedStatisticsReader live;
    const BudgetStore budgets(BudgetStore::ReadOnly{});
    if (!budgets.unreadableFile().empty())
        std::cerr << "ltreport: can't read " << budgets.unreadableFile() << " (the budgets are left out)\n";
    std::vector<MetricsFamily> families = collectMetrics(logFileName(), priceFile, live, budgets, Now());
    if (!textfileFolder.empty()) {
        holdCounters(families, textfileFolder, logFileName());
        writeMetricsFile(textfileFolder, families, logFileName());
        return 0;
    }
    std::cout << metricsText(families);
    return std::cout.good() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    // Month and day names and the short date follow the user; numbers keep
    // their '.', as the views print them.
    std::setlocale(LC_TIME, "");
    std::setlocale(LC_CTYPE, "");
    Options options;
    CLI::App app{"Linktally's traffic and cost history on the command line.\n"
                 "It reads the service's connection log (cn.log) and your prices.txt, as the monitor does."};
    app.fallthrough();
    app.require_subcommand(1);
    app.set_version_flag("--version", versionText("ltreport"), "show the program's name and version");
    app.add_option("-c,--connection", options.connection, "connection (entry) name; default: the monitor's choice");
    app.add_option("-f,--format", options.format, "text, csv or json")
        ->check(CLI::IsMember({"text", "csv", "json"}))
        ->capture_default_str();
    auto* todayCommand = app.add_subcommand("today", "today's traffic and costs, the live quantum included");
    CLI::App* periodCommands[4];
    const char* periodNames[] = {"day", "week", "month", "year"};
    const char* periodHelp[] = {"one row per hour of the day", "one row per day of the week (Sunday first)",
                                "one row per day of the month", "one row per month of the year"};
    for (int i = 0; i < 4; ++i) {
        periodCommands[i] = app.add_subcommand(periodNames[i], periodHelp[i]);
        periodCommands[i]->add_option("date", options.date, "a day in the period, as YYYY-MM-DD (default: today)");
    }
    auto* logCommand = app.add_subcommand("log", "the connection log, 24 records a page");
    auto* pageOption = logCommand->add_option("-p,--page", options.page, "page number (default: the last page)");
    auto* liveCommand = app.add_subcommand("live", "the service's live table");
    auto* connectionsCommand = app.add_subcommand("connections", "the connection names with their ids");
    BudgetOptions budgetOptions;
    auto* budgetCommand = app.add_subcommand(
        "budget", "each budget's period, use, projection, what is left a day and level (exit status 3 at 80 or 90 %, "
                  "4 at 100 %); with --set or --remove, sets or removes the budget of the connection first");
    budgetCommand->add_option("date", options.date, "a day in the period, as YYYY-MM-DD (default: today)");
    auto* setFlag = budgetCommand->add_flag("--set", budgetOptions.set, "set the connection's budget from the options below");
    budgetCommand->add_flag("--remove", budgetOptions.remove, "remove the connection's budget")->excludes(setFlag);
    budgetCommand->add_option("--cap-mb", budgetOptions.capMb, "cap in megabytes (of 1,048,576 bytes)")->needs(setFlag);
    budgetCommand->add_option("--cap-money", budgetOptions.capMoney, "cap in the price table's currency")->needs(setFlag);
    budgetCommand->add_option("--billing-day", budgetOptions.billingDay, "the day each period starts on, 1 to 31")
        ->capture_default_str()
        ->needs(setFlag);
    budgetCommand->add_option("--counted", budgetOptions.counted, "the traffic counted: both, received or sent")
        ->check(CLI::IsMember({"both", "received", "sent"}))
        ->capture_default_str()
        ->needs(setFlag);
    budgetCommand->add_option("--notify", budgetOptions.notify,
                              "whether the monitor tells the levels reached: yes or no (default: as before, else yes)")
        ->check(CLI::IsMember({"yes", "no"}))
        ->needs(setFlag);
    std::string textfileFolder, metricsPrices;
    auto* metricsCommand = app.add_subcommand(
        "metrics", "every connection's traffic and costs, the live table, the log's health and the budgets in "
                   "Prometheus's text format");
    metricsCommand->add_option("--textfile", textfileFolder,
                               "write DIR/linktally.prom whole (for node_exporter's textfile collector) instead of "
                               "printing");
    metricsCommand->add_option("--prices", metricsPrices, "the price table to use instead of yours");
    auto* checkCommand = app.add_subcommand(
        "check", "walks the whole log: whole records, damaged regions, records that cannot be true, torn tail; exit status 2 when any");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Without a subcommand the parser asks for one before it names the
        // words it could not place: name the first, which was meant as one.
        const std::vector<std::string> extras = app.remaining();
        if (dynamic_cast<const CLI::RequiredError*>(&e) && app.get_subcommands().empty() && !extras.empty()) {
            const bool option = extras.front().size() > 1 && extras.front()[0] == '-';
            std::cerr << "ltreport: unknown " << (option ? "option" : "subcommand") << " '" << extras.front()
                      << "' (see 'ltreport --help')\n";
            return 1;
        }
        const int code = app.exit(e);
        return code == 0 ? 0 : 1;
    }
    options.pageGiven = pageOption->count() > 0;
    try {
        ReportTable table;
        if (checkCommand->parsed()) {
            const LogCheck result = check();
            writeReport(std::cout, result.table, formatOf(options.format));
            return !std::cout.good() ? 1 : result.damaged ? 2 : 0;
        }
        if (budgetCommand->parsed())
            return budget(options, budgetOptions);
        if (metricsCommand->parsed())
            return metrics(textfileFolder, metricsPrices);
        if (liveCommand->parsed()) {
            table = live();
        } else {
            Model model;
            loadModel(model, options);
            if (todayCommand->parsed())
                table = today(model);
            else if (logCommand->parsed())
                table = log(model, options);
            else if (connectionsCommand->parsed())
                table = connections(model);
            for (int i = 0; i < 4; ++i)
                if (periodCommands[i]->parsed())
                    table = period(model, static_cast<PeriodView>(i), dateOption(options));
        }
        writeReport(std::cout, table, formatOf(options.format));
        return std::cout.good() ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "ltreport: " << e.what() << "\n";
        return 1;
    }
}
