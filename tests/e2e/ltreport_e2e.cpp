// The real ltreport on a generated log and price file.
#include "fakes/live_table.h"
#include "log/conlogger.h"
#include "testenv.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

const TDateTime day = EncodeDate(2026, 12, 8); // a Tuesday
const std::uint64_t Mb = 1048576;

struct Output {
    int status;
    std::string out, err;
};

// A user with a history: eth0 priced from 1 December, isp never priced.
struct History {
    std::string root = testenv::freshFolder("ltreport");
    testenv::ScopedEnv common{"LINKTALLY_COMMON_APPDATA", (root + "/common").c_str()};
    testenv::ScopedEnv data{"XDG_DATA_HOME", (root + "/data").c_str()};
    testenv::ScopedEnv config{"XDG_CONFIG_HOME", (root + "/config").c_str()};
    testenv::ScopedEnv peers{"LINKTALLY_PPP_PEERS", root.c_str()};
    testenv::ScopedEnv emptyTable{"LINKTALLY_IPHLPAPI", FAKE_IPHLPAPI}; // no interfaces
    testenv::ScopedEnv ipc{"LINKTALLY_IPC_DIR", root.c_str()};              // no live table
    std::string logPath = root + "/common/Tarnwick Software/Linktally/1.3.1/cn.log";

    History()
    {
        std::filesystem::create_directories(root + "/common/Tarnwick Software/Linktally/1.3.1");
        std::filesystem::create_directories(root + "/data/Tarnwick Software/Linktally/1.3.1");
        std::ofstream(root + "/data/Tarnwick Software/Linktally/1.3.1/prices.txt") << "eth0\n1\n2026-12-01 1 2\n";
        ConnectionLogger log(nullptr, logPath);
        log.logLANConnection("eth0", day + EncodeTime(10, 15, 0, 0), day + EncodeTime(11, 0, 1, 0), 3 * Mb / 2, Mb / 2);
        log.logRASConnection("isp", "modem", "USR", "555 1234", "joe", day + 0.5, day + 0.51, Mb, 0);
        for (int i = 0; i < 29; ++i)
            log.logLANConnection("eth0", day + 1 + i / 24.0, day + 1 + i / 24.0 + 0.01, 1234567, 0);
    }

    Output run(const std::string& arguments) const
    {
        const std::string out = root + "/out", err = root + "/err";
        const int status = std::system((std::string(LTREPORT) + " " + arguments + " >'" + out + "' 2>'" + err + "'").c_str());
        return {WEXITSTATUS(status), testenv::readFile(out), testenv::readFile(err)};
    }
};

} // namespace

TEST(Ltreport, shows_the_hours_of_a_day_in_text_and_csv_with_the_views_texts)
{
    History h;
    const Output text = h.run("--connection eth0 day 2026-12-08");
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("eth0, 08/12/2026\nHour   Sent MB  Rcved MB  Costs\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("\n10.00     1.50      0.50   2.50\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("\n09.00        -         -      -\n"), std::string::npos);
    EXPECT_NE(text.out.find("\nBoth Directions: 2.0 Mb\n"), std::string::npos);
    EXPECT_NE(text.out.find("\nCosts:           2.50\n"), std::string::npos);

    const Output csv = h.run("--connection isp --format csv day 2026-12-08");
    EXPECT_NE(csv.out.find("Hour,Sent MB,Rcved MB,Costs\r\n"), std::string::npos);
    EXPECT_NE(csv.out.find("\r\n12.00,1.00,-,?\r\n"), std::string::npos) << csv.out;
}

TEST(Ltreport, gives_weeks_months_and_years_as_json)
{
    History h;
    const Output week = h.run("-c eth0 week 2026-12-08 --format json");
    ASSERT_EQ(week.status, 0) << week.err;
    const auto json = nlohmann::json::parse(week.out);
    ASSERT_EQ(json["rows"].size(), 7u);
    EXPECT_EQ(json["rows"][0]["Date"], "06/12, Sun");
    EXPECT_EQ(json["rows"][2]["Sent MB"], "1.50");
    EXPECT_EQ(json["summary"]["Totals"], "06/12 - 12/12/2026");
    const auto year = nlohmann::json::parse(h.run("-c eth0 -f json year 2026-02-01").out);
    ASSERT_EQ(year["rows"].size(), 12u);
    EXPECT_EQ(year["rows"][11]["Date"], "December");
    EXPECT_EQ(year["summary"]["Totals"], "Year 2026");
    EXPECT_EQ(nlohmann::json::parse(h.run("-c eth0 -f json month 2024-02-10").out)["rows"].size(), 29u);
}

TEST(Ltreport, pages_the_log_as_the_log_view_and_clamps_the_page)
{
    History h;
    const Output last = h.run("-c eth0 log");
    ASSERT_EQ(last.status, 0) << last.err;
    EXPECT_NE(last.out.find("eth0, page 2 of 2\n"), std::string::npos);
    EXPECT_NE(last.out.find("1 234 567"), std::string::npos);
    EXPECT_NE(h.run("-c eth0 log --page 0").out.find("page 1 of 2"), std::string::npos);
    EXPECT_NE(h.run("-c eth0 log --page 99").out.find("page 2 of 2"), std::string::npos);
    const Output isp = h.run("-c isp -f csv log");
    EXPECT_NE(isp.out.find(",isp,555 1234,1 048 576,0,?\r\n"), std::string::npos) << isp.out;
}

TEST(Ltreport, reports_bad_input_and_reads_past_a_corrupted_record)
{
    History h;
    const Output badDate = h.run("day 31/31/2026");
    EXPECT_EQ(badDate.status, 1);
    EXPECT_NE(badDate.err.find("'31/31/2026' is not a valid date"), std::string::npos);
    const Output unknown = h.run("--connection nobody today");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, "ltreport: unknown connection 'nobody' (see 'ltreport connections')\n");
    EXPECT_EQ(h.run("--format xml connections").status, 1);

    std::vector<unsigned char> bytes = testenv::readBytes(h.logPath);
    bytes[2] ^= 0x05; // the first record's type byte
    testenv::writeBytes(h.logPath, bytes);
    const Output corrupted = h.run("-c eth0 -f csv log --page 1");
    EXPECT_EQ(corrupted.status, 0);
    EXPECT_NE(corrupted.err.find("ltreport: cn.log: LogRecordBuffer::Unpack - data corrupted - wrong connection type"),
              std::string::npos);
    EXPECT_NE(corrupted.out.find("09/12/26,00.00 - 00.14,eth0"), std::string::npos) << corrupted.out;
}

TEST(Ltreport, fails_on_a_price_file_that_does_not_load_and_on_a_word_that_is_no_subcommand)
{
    History h;
    const std::string prices = h.root + "/data/Tarnwick Software/Linktally/1.3.1/prices.txt";
    std::ofstream(prices) << "eth0\n2\n2026-12-01 1 2\n2026-12-05 0,05 2\n";
    const Output damaged = h.run("-c eth0 day 2026-12-08");
    EXPECT_EQ(damaged.status, 1);
    EXPECT_EQ(damaged.err, "ltreport: " + prices + ", line 4: '0,05' is not a price\n");
    EXPECT_EQ(damaged.out, "");

    const Output unknown = h.run("frobnicate");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, "ltreport: unknown subcommand 'frobnicate' (see 'ltreport --help')\n");
    EXPECT_EQ(h.run("--frob").err, "ltreport: unknown option '--frob' (see 'ltreport --help')\n");
}

TEST(Ltreport, tells_its_name_and_version_before_asking_for_a_subcommand)
{
    History h;
    const Output version = h.run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "ltreport (Linktally) 1.3.1\n");
    EXPECT_EQ(version.err, "");
    EXPECT_NE(h.run("--help").out.find("\n  --version "), std::string::npos);
}

TEST(Ltreport, words_today_as_the_meters_status_line)
{
    History h;
    {
        ConnectionLogger log(nullptr, h.logPath);
        const TDateTime now = Now();
        log.logLANConnection("wlan0", now - 0.0001, now, 2 * Mb, Mb / 4); // today, whatever day that is
    }
    const Output today = h.run("-c wlan0 today");
    ASSERT_EQ(today.status, 0) << today.err;
    EXPECT_NE(today.out.find("\nS/R: 2.00/0.25 Mb\nCosts: ?\nStatus: Offline\n"), std::string::npos) << today.out;
    const Output connections = h.run("-f csv connections");
    EXPECT_NE(connections.out.find("0,eth0\r\n1,isp\r\n"), std::string::npos) << connections.out;
}

TEST(Ltreport, keeps_the_decimal_point_and_writes_the_users_dates_in_another_locale)
{
    if (!std::setlocale(LC_TIME, "de_DE.UTF-8"))
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not generated here";
    std::setlocale(LC_TIME, "C");
    History h;
    testenv::ScopedEnv german("LC_ALL", "de_DE.UTF-8");
    const Output day = h.run("-c eth0 -f csv day 08.12.2026");
    ASSERT_EQ(day.status, 0) << day.err;
    EXPECT_NE(day.out.find("\r\n10.00,1.50,0.50,2.50\r\n"), std::string::npos) << day.out;
    const Output week = h.run("-c eth0 -f json week 2026-12-08");
    EXPECT_EQ(nlohmann::json::parse(week.out)["summary"]["Totals"], "06.12 - 12.12.2026");
}

TEST(Ltreport, checks_the_logs_health_with_status_0_when_clean_and_2_when_damaged)
{
    History h;
    const Output clean = h.run("check");
    EXPECT_EQ(clean.status, 0) << clean.err;
    EXPECT_NE(clean.out.find("Whole records:   31\n"), std::string::npos) << clean.out;
    EXPECT_NE(clean.out.find("Status:          clean\n"), std::string::npos) << clean.out;

    std::vector<unsigned char> bytes = testenv::readBytes(h.logPath);
    bytes[41 + 2] ^= 0x05; // the second record's type byte (the first frame is 41 bytes)
    bytes.insert(bytes.end(), {0x27, 0x00, 0x11});
    testenv::writeBytes(h.logPath, bytes);
    const Output rows = h.run("check --format csv");
    EXPECT_EQ(rows.status, 2);
    EXPECT_NE(rows.out.find("41,67,LogRecordBuffer::Unpack - data corrupted - wrong connection type\r\n"),
              std::string::npos)
        << rows.out;
    const Output damaged = h.run("check");
    EXPECT_NE(damaged.out.find("Whole records:   30\n"), std::string::npos) << damaged.out;
    EXPECT_NE(damaged.out.find("Torn tail:       3 bytes at offset " + std::to_string(bytes.size() - 3) + "\n"),
              std::string::npos)
        << damaged.out;
    EXPECT_NE(damaged.out.find("Status:          damaged\n"), std::string::npos) << damaged.out;

    // The report goes on past the damage and names each region once.
    const Output log = h.run("-c eth0 log --page 2");
    EXPECT_EQ(log.status, 0);
    EXPECT_EQ(log.err, "ltreport: cn.log: LogRecordBuffer::Unpack - data corrupted - wrong connection type (67 damaged "
                       "bytes at offset 41 skipped)\n"
                       "ltreport: cn.log: Unexpected end of file! (3 damaged bytes at offset " +
                           std::to_string(bytes.size() - 3) + " skipped)\n");
}

TEST(Ltreport, check_names_records_that_cannot_be_true_as_suspicious_and_the_views_still_count_them)
{
    History h;
    const std::int64_t end = static_cast<std::int64_t>(std::filesystem::file_size(h.logPath));
    {
        ConnectionLogger log(nullptr, h.logPath);
        const TDateTime at = day - 30;
        log.logLANConnection("eth9", at, at + 3599.0 / SecsPerDay, 0, 300000000000000u); // 280 TB in an hour
        log.logLANConnection("eth9", at + 0.5, at + 0.4, 1, 1);                           // ends 2.4 h before it starts
    }
    const Output csv = h.run("check --format csv");
    EXPECT_EQ(csv.status, 2);
    EXPECT_NE(csv.out.find(std::to_string(end) + ",41,suspicious: more bytes than 100 Gbit/s carry in 3599 s\r\n"),
              std::string::npos)
        << csv.out;
    const Output text = h.run("check");
    EXPECT_NE(text.out.find("Suspicious:      2\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Status:          suspicious\n"), std::string::npos);
    const Output shown = h.run("-c eth9 -f csv day 2026-11-08");
    EXPECT_NE(shown.out.find("\r\n00.00,-,286102294.92,"), std::string::npos) << shown.out;
}

TEST(Ltreport, says_when_the_interface_table_is_missing_and_goes_on)
{
    History h;
    testenv::ScopedEnv noTable("LINKTALLY_IPHLPAPI", "/nonexistent");
    const Output names = h.run("connections --format csv");
    EXPECT_EQ(names.status, 0);
    EXPECT_EQ(names.err, "ltreport: LanStatisticsCollector initialization failed! Can't load iphlpapi.dll Error code: "
                         "2. (the interfaces' names are left out)\n");
    EXPECT_NE(names.out.find("0,eth0"), std::string::npos) << names.out;
}

TEST(Ltreport, refuses_a_folder_a_device_or_a_fifo_where_a_file_should_be)
{
    History h;
    const std::string prices = h.root + "/data/Tarnwick Software/Linktally/1.3.1/prices.txt";
    std::filesystem::remove(prices);
    ASSERT_EQ(::mkfifo(prices.c_str(), 0644), 0);
    const Output fifo = h.run("today");
    EXPECT_EQ(fifo.status, 1);
    EXPECT_EQ(fifo.err, "ltreport: can't read " + prices + ": it is not a regular file\n");
    std::filesystem::remove(prices);

    std::filesystem::remove(h.logPath);
    std::filesystem::create_symlink("/dev/zero", h.logPath); // endless zeros
    for (const char* command : {"today", "check"}) {
        const Output device = h.run(command);
        EXPECT_EQ(device.status, 1);
        EXPECT_EQ(device.err, "ltreport: can't read " + h.logPath + ": it is not a regular file\n");
    }
    std::filesystem::remove(h.logPath);
    std::filesystem::create_directory(h.logPath);
    const Output folder = h.run("year");
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.err, "ltreport: can't read " + h.logPath + ": it is a folder\n");
}

TEST(Ltreport, shows_a_generated_years_hours_starting_on_the_hour)
{
    History h;
    ASSERT_EQ(std::system((std::string(MAKEHISTORY) + " lm0 400").c_str()), 0);
    const Output last = h.run("-c lm0 -f csv log");
    ASSERT_EQ(last.status, 0) << last.err;
    const auto count = [&](const std::string& text) {
        int n = 0;
        for (std::size_t at = last.out.find(text); at != std::string::npos; at = last.out.find(text, at + 1))
            ++n;
        return n;
    };
    EXPECT_GT(count(",lm0,"), 0);
    EXPECT_EQ(count(".00 - "), count(",lm0,")) << last.out; // every row "hh.00 - hh.59"
}

TEST(Ltreport, sets_budgets_and_shows_their_figures_with_an_exit_status_a_script_acts_on)
{
    History h;
    // December: 2.0 MB on the 8th, then 29 records of 1,234,567 bytes: 36.14 MB.
    Output set = h.run("budget --set -c eth0 --cap-mb 40 --billing-day 1 2026-12-08");
    EXPECT_EQ(set.status, 0) << set.err; // set, at 90 %
    EXPECT_NE(set.out.find("eth0        2026-12-01 - 2026-12-31  both"), std::string::npos) << set.out;
    EXPECT_NE(set.out.find("40.00"), std::string::npos);
    EXPECT_NE(set.out.find("36.14"), std::string::npos);
    EXPECT_EQ(h.run("budget -c eth0 2026-12-08").status, 3);
    EXPECT_EQ(h.run("budget -c eth0 2026-11-15").status, 0); // nothing in November

    EXPECT_EQ(h.run("budget --set -c eth0 --cap-mb 30 --counted sent --billing-day 31").status, 0);
    const Output json = h.run("budget -c eth0 -f json 2026-12-30");
    EXPECT_EQ(json.status, 4) << json.out; // 35.64 MB sent of 30
    const auto row = nlohmann::ordered_json::parse(json.out)["rows"][0];
    const std::vector<std::string> keys = {"connection", "period_start", "period_end", "counted", "cap_mb", "cap_money",
                                           "used_mb", "used_money", "projected_mb", "projected_money",
                                           "left_per_day_mb", "left_per_day_money", "level"};
    std::vector<std::string> given;
    for (const auto& item : row.items())
        given.push_back(item.key());
    EXPECT_EQ(given, keys);
    EXPECT_EQ(row["period_start"], "2026-11-30");
    EXPECT_EQ(row["period_end"], "2026-12-30");
    EXPECT_EQ(row["counted"], "sent");
    EXPECT_TRUE(row["cap_money"].is_null());
    EXPECT_EQ(row["level"], 100);

    // Unpriced traffic leaves money unknown: no level from it.
    const Output isp = h.run("budget --set -c isp --cap-money 5 -f json 2026-12-08");
    EXPECT_EQ(isp.status, 0) << isp.err;
    EXPECT_TRUE(nlohmann::json::parse(isp.out)["rows"][0]["used_money"].is_null());

    const Output refused = h.run("budget --set -c eth0 --cap-money 0");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "ltreport: A cap in money must be a number above 0.\n");
    EXPECT_EQ(h.run("budget -c eth0 --cap-mb 5").status, 1); // a cap without --set
    // A connection the log does not know yet.
    EXPECT_EQ(h.run("budget --set -c lte0 --cap-mb 20480 --billing-day 5 2026-12-08").status, 0);
    EXPECT_EQ(h.run("budget --remove -c isp").status, 0);
    const Output all = h.run("budget 2026-12-30");
    EXPECT_EQ(all.status, 4); // eth0's remains, at 100 %
    EXPECT_EQ(all.out.find("isp"), std::string::npos);
}

namespace {

// promtool's verdict on an exposition: empty when it accepts it.
std::string promtoolFaults(const std::string& root, const std::string& exposition)
{
    std::ofstream(root + "/metrics.prom") << exposition;
    const std::string out = root + "/promtool.out";
    const int status =
        std::system(("promtool check metrics <'" + root + "/metrics.prom' >'" + out + "' 2>&1").c_str());
    return WEXITSTATUS(status) == 0 ? "" : testenv::readFile(out) + "\n" + exposition;
}

} // namespace

TEST(Ltreport, gives_metrics_that_promtool_accepts_with_awkward_names_and_on_an_empty_log)
{
    if (std::system("command -v promtool >/dev/null") != 0)
        GTEST_SKIP() << "promtool is not installed (Debian package prometheus)";
    {
        History h;
        std::filesystem::remove(h.logPath);
        const Output none = h.run("metrics");
        ASSERT_EQ(none.status, 0) << none.err;
        EXPECT_NE(none.out.find("\nlinktally_log_records 0\n"), std::string::npos) << none.out;
        EXPECT_EQ(promtoolFaults(h.root, none.out), "");
    }
    History h;
    {
        ConnectionLogger log(nullptr, h.logPath);
        for (const char* name : {"q\"uote", "back\\slash", "new\nline", "Stra\xC3\x9F" "e", "bad\xFF", "bad\xFE"})
            log.logLANConnection(name, day, day + 0.01, 7, 9);
    }
    ASSERT_EQ(h.run("budget --set -c eth0 --cap-mb 4 --billing-day 1 2026-12-08").status, 0);
    const Output metrics = h.run("metrics");
    ASSERT_EQ(metrics.status, 0) << metrics.err;
    EXPECT_EQ(promtoolFaults(h.root, metrics.out), "");
    for (const char* line : {
             "linktally_sent_bytes_total{connection=\"eth0\",type=\"lan\"} 37375307\n",
             "linktally_received_bytes_total{connection=\"isp\",type=\"dialup\"} 0\n",
             "linktally_cost_total{connection=\"eth0\",type=\"lan\"} ", // isp has no price: no line
             "linktally_received_bytes_total{connection=\"q\\\"uote\",type=\"lan\"} 9\n",
             "{connection=\"back\\\\slash\",type=\"lan\"} 9\n",
             "{connection=\"new\\nline\",type=\"lan\"} 9\n",
             "{connection=\"Stra\xC3\x9F" "e\",type=\"lan\"} 9\n",
             "{connection=\"bad\\\\xFF\",type=\"lan\"} 9\n", // apart from bad\xFE
             "{connection=\"bad\\\\xFE\",type=\"lan\"} 9\n",
             "linktally_service_up 0\n",
             "linktally_log_records 37\n",
             "linktally_budget_cap_bytes{connection=\"eth0\",type=\"lan\"} 4194304\n",
         })
        EXPECT_NE(metrics.out.find(line), std::string::npos) << line << "\n" << metrics.out;
    EXPECT_EQ(metrics.out.find("linktally_cost_total{connection=\"isp\""), std::string::npos);

    // A connection only the live table knows: its running hour counts, in
    // its counters and in its budget.
    LiveTable live;
    live.rows({{"wlan9", 5 * Mb, 0, 0, 0}});
    ASSERT_EQ(h.run("budget --set -c wlan9 --cap-mb 10").status, 0);
    const std::string withLive = h.run("metrics").out;
    for (const char* line : {"linktally_sent_bytes_total{connection=\"wlan9\",type=\"lan\"} 5242880\n",
                             "linktally_connection_up{connection=\"wlan9\",type=\"lan\"} 1\n",
                             "linktally_budget_used_ratio{connection=\"wlan9\",type=\"lan\",cap=\"traffic\"} 0.5\n",
                             "linktally_budget_level{connection=\"wlan9\",type=\"lan\",cap=\"traffic\"} 0\n"})
        EXPECT_NE(withLive.find(line), std::string::npos) << line << "\n" << withLive;
}

TEST(Ltreport, writes_the_metrics_file_whole_into_a_folder_and_refuses_one_that_is_not_there)
{
    History h;
    const std::string folder = testenv::freshFolder("textfile");
    const mode_t umask = ::umask(077); // the collector's account reads it all the same
    ASSERT_EQ(h.run("metrics --textfile '" + folder + "'").status, 0);
    ::umask(umask);
    EXPECT_EQ(testenv::readFile(folder + "/linktally.prom"), h.run("metrics").out);
    struct stat st {};
    ASSERT_EQ(::stat((folder + "/linktally.prom").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    // Only the file and the counters' state; no temporary left.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2);

    // A counter that would fall while the log stays the same is held at the
    // last value written; a new log starts afresh.
    const std::string series = "linktally_sent_bytes_total{connection=\"eth0\",type=\"lan\"} ";
    std::string state = testenv::readFile(folder + "/.linktally.prom.state");
    ASSERT_NE(state.find(series + "37375307\n"), std::string::npos) << state;
    state.replace(state.find(series + "37375307"), series.size() + 8, series + "99999999");
    std::ofstream(folder + "/.linktally.prom.state") << state;
    ASSERT_EQ(h.run("metrics --textfile '" + folder + "'").status, 0);
    EXPECT_NE(testenv::readFile(folder + "/linktally.prom").find(series + "99999999\n"), std::string::npos);
    std::filesystem::copy_file(h.logPath, h.logPath + ".new");
    std::filesystem::rename(h.logPath + ".new", h.logPath);
    ASSERT_EQ(h.run("metrics --textfile '" + folder + "'").status, 0);
    EXPECT_NE(testenv::readFile(folder + "/linktally.prom").find(series + "37375307\n"), std::string::npos);

    const Output missing = h.run("metrics --textfile '" + folder + "/gone'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "ltreport: can't write the metrics to " + folder + "/gone: No such file or directory\n");
    const Output file = h.run("metrics --textfile '" + folder + "/linktally.prom'");
    EXPECT_EQ(file.status, 1);
    EXPECT_EQ(file.err, "ltreport: can't write the metrics to " + folder + "/linktally.prom: it is not a folder\n");
    const Output prices = h.run("metrics --prices '" + folder + "/none.txt'");
    EXPECT_EQ(prices.status, 1);
    EXPECT_NE(prices.err.find("none.txt"), std::string::npos) << prices.err;
}
