// The real ltsrvc in a private network namespace with a veth pair and a tun
// device switched to PPP, under an accelerated faked clock (libfaketime):
// hours pass in seconds.
#include "common/common.h"
#include "common/sharedstatdata.h"
#include "damagedlog.h"
#include "log/conlogger.h"
#include "model/datamodel.h"
#include "model/sharedstatreader.h"
#include "netns.h"
#include "platform/netlink.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <fstream>
#include <functional>
#include <map>
#include <net/if.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char* libfaketime()
{
    for (const char* path : {"/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1",
                             "/usr/lib/aarch64-linux-gnu/faketime/libfaketimeMT.so.1",
                             "/usr/lib/faketime/libfaketimeMT.so.1"})
        if (::access(path, R_OK) == 0)
            return path;
    return nullptr;
}

using testenv::eventually;

// One run of the real program, its output kept in files.
class Service {
public:
    // fileSizeLimit: no file of the service grows past it, as on a full disk.
    Service(const std::string& folder, const char* fakeStart = nullptr, rlim_t fileSizeLimit = RLIM_INFINITY)
        : out(folder + "/out"), err(folder + "/err")
    {
        pid = ::fork();
        if (pid != 0)
            return;
        testenv::redirectOutput(out, err);
        if (fileSizeLimit != RLIM_INFINITY) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (fakeStart) {
            ::setenv("LD_PRELOAD", libfaketime(), 1);
            ::setenv("FAKETIME", fakeStart, 1);
            ::setenv("FAKETIME_NO_CACHE", "1", 1);
            ::setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
        }
        ::execl(LTSRVC, LTSRVC, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ~Service()
    {
        if (pid > 0 && !exited)
            kill(SIGKILL);
    }
    // Sends a signal and waits for the end; the exit status, or 128 + signal.
    int kill(int signal)
    {
        ::kill(pid, signal);
        return wait();
    }
    void signal(int number) { ::kill(pid, number); }
    // The exit status, or -1 when still running after seconds.
    int wait(double seconds = 30)
    {
        int status = 0;
        if (!eventually([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, seconds))
            return -1;
        exited = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    bool running() { return !exited && ::waitpid(pid, nullptr, WNOHANG) == 0; }
    std::string errors() const { return testenv::readFile(err); }

private:
    std::string out, err;
    pid_t pid = -1;
    bool exited = false;
};

struct Record {
    std::string name, phone, user;
    TDateTime start, end;
    std::uint64_t sent, received;
};

// Read as the monitor reads, without a lock while the service appends.
std::vector<Record> readLog(const std::string& path)
{
    std::vector<Record> records;
    LogReader reader(path);
    LogRecordFields r;
    while (reader.readRecord(r))
        records.push_back({std::string(r.entryName), std::string(r.phoneNumber), std::string(r.userName), r.start,
                           r.end, r.sent, r.received});
    return records;
}

// Every whole record, read past damage as the monitor's readers do.
std::vector<Record> readWholeLog(const std::string& path)
{
    std::vector<Record> records;
    LogReader reader(path);
    LogRecordFields r;
    readPastCorruption(
        [&] {
            while (reader.readRecord(r))
                records.push_back({std::string(r.entryName), std::string(r.phoneNumber), std::string(r.userName),
                                   r.start, r.end, r.sent, r.received});
        },
        [](const LTDataCorruptedException&) {});
    return records;
}

int hourOf(TDateTime t) { return static_cast<int>(std::floor(t * 24 + 1e-9)); }

std::uint64_t kernelTx(const char* name)
{
    platform::netlink::Socket socket;
    platform::netlink::Link link;
    return socket.getLink(::if_nametoindex(name), link) ? link.counters.txBytes : 0;
}

// The folders of one service run, every one of its own.
struct ServiceFolders {
    std::string folder = testenv::freshFolder("e2e");
    testenv::ScopedEnv common{"LINKTALLY_COMMON_APPDATA", folder.c_str()};
    testenv::ScopedEnv run{"LINKTALLY_PPP_RUNDIR", folder.c_str()};
    testenv::ScopedEnv peers{"LINKTALLY_PPP_PEERS", folder.c_str()};
    std::string logPath = folder + "/Tarnwick Software/Linktally/1.3.1/cn.log";
};

// Two ends of a link, both up.
bool vethPair(const std::string& a, const std::string& b)
{
    return netns::sh("ip link add " + a + " type veth peer name " + b + " && ip link set " + a + " up && ip link set " +
                     b + " up");
}

int indexOf(const SharedStatisticsReader& reader, const std::string& name)
{
    for (std::uint32_t i = 0; i < reader.size(); ++i)
        if (name == reader.getName(i))
            return static_cast<int>(i);
    return -1;
}

// The bytes sent in the connection's running quantum, as the live table
// shows them now (0 while it shows no such connection).
std::uint64_t liveSent(SharedStatisticsReader& reader, const std::string& name)
{
    reader.refresh();
    const int at = indexOf(reader, name);
    return at < 0 ? 0 : reader.getQuantumSent(static_cast<std::uint32_t>(at));
}

// The bytes sent that the log's records of the connection hold.
std::uint64_t loggedSent(const std::string& logPath, const std::string& name)
{
    std::uint64_t sent = 0;
    for (const Record& r : readLog(logPath))
        if (r.name == name)
            sent += r.sent;
    return sent;
}

} // namespace

TEST(LtsrvcEndToEnd, logs_one_record_per_connection_and_hour_with_the_kernels_byte_counts)
{
    REQUIRE_PRIVATE_NETNS();
    if (!libfaketime())
        GTEST_SKIP() << "libfaketime is not installed (Debian package faketime)";
    ServiceFolders setup;
    ASSERT_TRUE(vethPair("lt0", "lt1"));
    netns::PppLink ppp("ppp5");
    ASSERT_TRUE(ppp.ok());
    std::ofstream(setup.folder + "/ppp-myisp.pid") << "4242\nppp5\n";
    std::ofstream(setup.folder + "/myisp") << "user joe\nconnect 'chat -v \"\" ATDT5551234'\n";

    // A faked hour lasts six real seconds.
    Service service(setup.folder, "@2026-12-08 10:30:00 x600"); // three real seconds before 11:00
    SharedStatisticsReader reader;
    std::vector<std::int32_t> versions;
    auto refresh = [&] {
        reader.refresh();
        versions.push_back(reader.getLogVersion());
        return reader.size() == 3;
    };
    ASSERT_TRUE(eventually([&] { return refresh(); })) << service.errors();
    const std::uint64_t baseline = reader.getLastSent(static_cast<std::uint32_t>(indexOf(reader, "lt0")));
    EXPECT_EQ(reader.getLogVersion(), 0);

    // Each connection ends its hour at its own first sample past it: in one
    // pass, or in two where a pass straddles the hour. Wait for every one.
    auto loggedHours = [&](long hours) {
        return eventually([&] {
            refresh();
            const auto records = readLog(setup.logPath);
            return std::ranges::all_of(std::array{"lt0", "lt1", "myisp"}, [&](const char* name) {
                return std::ranges::count(records, std::string(name), &Record::name) >= hours;
            });
        });
    };
    ASSERT_TRUE(netns::sendFrames("lt0", 100, 1000)); // 10:5x
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(ppp.receive(200));
    ASSERT_TRUE(loggedHours(1)) << service.errors(); // past 11:00
    ASSERT_TRUE(netns::sendFrames("lt0", 50, 1000)); // 11:xx
    ASSERT_TRUE(loggedHours(2)) << service.errors(); // past 12:00

    // Hung up mid-hour once the service has sampled the link in its new hour
    // (a quantum without a sample since it began leaves no record): its last
    // record follows at once.
    ASSERT_TRUE(ppp.receive(300));
    ASSERT_TRUE(eventually([&] {
        refresh();
        const int isp = indexOf(reader, "myisp");
        return isp >= 0 && reader.getQuantumReceived(static_cast<std::uint32_t>(isp)) == 300;
    }));
    ppp.remove();
    ASSERT_TRUE(eventually([&] {
        refresh();
        return std::ranges::count(readLog(setup.logPath), std::string("myisp"), &Record::name) == 3;
    })) << "no last record for the dial-up connection";
    EXPECT_EQ(reader.size(), 2u);
    // 12:xx, logged at the stop once sampled (the stop takes no sample).
    ASSERT_TRUE(netns::sendFrames("lt0", 20, 1000));
    ASSERT_TRUE(eventually([&] {
        refresh();
        const int lt0 = indexOf(reader, "lt0");
        return lt0 >= 0 && reader.getQuantumSent(static_cast<std::uint32_t>(lt0)) == 20000;
    }));
    EXPECT_EQ(service.kill(SIGTERM), 0) << service.errors();

    const std::vector<Record> records = readLog(setup.logPath);
    std::map<std::string, std::vector<Record>> byName;
    for (const Record& r : records)
        byName[r.name].push_back(r);
    ASSERT_EQ(byName["lt0"].size(), 3u);
    ASSERT_EQ(byName["lt1"].size(), 3u);
    ASSERT_EQ(byName["myisp"].size(), 3u);
    std::uint64_t sent = 0;
    for (const auto& [name, chain] : byName) {
        for (std::size_t i = 0; i < chain.size(); ++i) {
            EXPECT_EQ(hourOf(chain[i].start), hourOf(EncodeDate(2026, 12, 8)) + 10 + static_cast<int>(i)) << name;
            if (i > 0) {
                EXPECT_EQ(chain[i].start, chain[i - 1].end) << name; // no gap, no overlap
            }
        }
    }
    for (const Record& r : byName["lt0"])
        sent += r.sent;
    EXPECT_EQ(sent, 170000u);
    EXPECT_EQ(sent, kernelTx("lt0") - baseline);
    EXPECT_EQ(byName["lt1"][0].received, 100000u);
    const auto& isp = byName["myisp"];
    EXPECT_EQ(isp[0].received, 10000u);
    EXPECT_EQ(isp[1].received + isp[1].sent, 0u); // a dial-up hour without traffic still leaves a record
    EXPECT_EQ(isp[2].received, 300u);
    EXPECT_EQ(isp[0].user, "joe");
    EXPECT_EQ(isp[0].phone, "5551234");
    EXPECT_LT(hourOf(isp[2].end), hourOf(EncodeDate(2026, 12, 8)) + 13); // ended within 12:xx

    EXPECT_TRUE(std::is_sorted(versions.begin(), versions.end()));
    reader.refresh();
    EXPECT_EQ(reader.size(), 0u);
    EXPECT_FALSE(reader.isMappingOk());
}

TEST(LtsrvcEndToEnd, refuses_a_second_instance_and_restarts_after_being_killed)
{
    REQUIRE_PRIVATE_NETNS();
    ServiceFolders setup;
    Service first(setup.folder);
    SharedStatisticsReader reader;
    ASSERT_TRUE(eventually([&] { reader.refresh(); return reader.isActive(); })) << first.errors();

    const std::string secondFolder = testenv::freshFolder("second");
    Service second(secondFolder);
    EXPECT_EQ(second.wait(), 1);
    EXPECT_EQ(second.errors(), "ltsrvc: FileMapping already exists!\n");
    EXPECT_TRUE(first.running());
    reader.refresh();
    EXPECT_TRUE(reader.isActive());

    EXPECT_EQ(first.kill(SIGKILL), 128 + SIGKILL);
    reader.refresh();
    EXPECT_FALSE(reader.isActive()); // the dead instance's block has no owner

    Service restarted(testenv::freshFolder("restarted"));
    ASSERT_TRUE(eventually([&] { reader.refresh(); return reader.isActive(); })) << restarted.errors();
    restarted.signal(SIGTERM);
    EXPECT_EQ(restarted.kill(SIGTERM), 0); // a second stop request changes nothing
}

TEST(LtsrvcEndToEnd, fails_with_a_message_when_the_ipc_folder_is_full)
{
    REQUIRE_PRIVATE_NETNS();
    ServiceFolders setup;
    const std::string ipc = testenv::freshFolder("full-ipc");
    ASSERT_TRUE(netns::sh("mount -t tmpfs -o size=4k,mode=0755 tmpfs '" + ipc + "'"));
    testenv::ScopedEnv ipcEnv("LINKTALLY_IPC_DIR", ipc.c_str());
    std::ofstream(ipc + "/filler") << std::string(64 * 1024, 'x'); // fills it
    Service service(setup.folder);
    EXPECT_EQ(service.wait(), 1);
    EXPECT_EQ(service.errors().rfind("ltsrvc: Can't create FileMapping Error code: 28.", 0), 0u) << service.errors();
    netns::sh("umount '" + ipc + "'");
}

TEST(LtsrvcEndToEnd, refuses_at_start_a_log_that_is_a_symbolic_link_to_nothing)
{
    REQUIRE_PRIVATE_NETNS();
    ServiceFolders setup;
    std::filesystem::create_directories(std::filesystem::path(setup.logPath).parent_path());
    const std::string target = setup.folder + "/unmounted/cn.log";
    std::filesystem::create_symlink(target, setup.logPath);
    Service service(setup.folder);
    EXPECT_EQ(service.wait(10), 1) << "still running: " << service.errors();
    EXPECT_NE(service.errors().find("The log file " + setup.logPath + " is a symbolic link to " + target +
                                    ", which does not exist"),
              std::string::npos)
        << service.errors();
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST(LtsrvcEndToEnd, writes_to_a_new_cn_log_once_the_open_one_is_deleted)
{
    REQUIRE_PRIVATE_NETNS();
    ServiceFolders setup;
    ASSERT_TRUE(vethPair("la0", "la1"));
    Service service(setup.folder);
    SharedStatisticsReader reader;
    ASSERT_TRUE(eventually([&] { reader.refresh(); return indexOf(reader, "la0") >= 0; })) << service.errors();
    ASSERT_TRUE(netns::sendFrames("la0", 10, 1000));
    ASSERT_TRUE(eventually([&] { return liveSent(reader, "la0") == 10000; }));

    std::filesystem::remove(setup.logPath);
    ASSERT_TRUE(netns::sh("ip link del la0")); // both ends go: their records follow at once
    ASSERT_TRUE(eventually([&] { return readLog(setup.logPath).size() == 2; })) << service.errors();
    EXPECT_EQ(service.kill(SIGTERM), 0);
    const std::vector<Record> records = readLog(setup.logPath);
    EXPECT_EQ(records[0].sent + records[1].sent, 10000u);
    EXPECT_NE(service.errors().find("The log file " + setup.logPath + " was deleted or moved while the service ran"),
              std::string::npos)
        << service.errors();
}

TEST(LtsrvcEndToEnd, counts_the_last_second_of_a_link_that_goes_down_or_is_deleted)
{
    REQUIRE_PRIVATE_NETNS();
    ServiceFolders setup;
    ASSERT_TRUE(vethPair("lb0", "lb1") && vethPair("lh0", "lh1"));
    Service service(setup.folder);
    SharedStatisticsReader reader;
    ASSERT_TRUE(eventually([&] { reader.refresh(); return indexOf(reader, "lh1") >= 0; })) << service.errors();
    // No sample waited for: straight down, straight gone (its deletion carries its counters).
    ASSERT_TRUE(netns::sendFrames("lb0", 1000, 1000) && netns::sendFrames("lh0", 1000, 1000));
    ASSERT_TRUE(netns::sh("ip link set lb0 down && ip link del lh0"));
    const auto sentOn = [&](const char* name) { return loggedSent(setup.logPath, name); };
    EXPECT_TRUE(eventually([&] { return sentOn("lb0") == kernelTx("lb0") && sentOn("lh0") == 1000000u; }))
        << sentOn("lb0") << " of " << kernelTx("lb0") << ", " << sentOn("lh0");
    EXPECT_GE(kernelTx("lb0"), 1000000u);
    EXPECT_EQ(service.kill(SIGTERM), 0);
}

TEST(LtsrvcEndToEnd, shows_the_link_in_use_among_more_than_ten)
{
    REQUIRE_PRIVATE_NETNS();
    ServiceFolders setup;
    for (int i = 0; i < 6; ++i) {
        const std::string a = "lc" + std::to_string(i), b = "ld" + std::to_string(i);
        ASSERT_TRUE(vethPair(a, b));
    }
    Service service(setup.folder);
    SharedStatisticsReader reader;
    ASSERT_TRUE(eventually([&] { reader.refresh(); return reader.size() == 10; })) << service.errors();
    std::string hidden;
    for (int i = 0; i < 6 && hidden.empty(); ++i)
        for (const std::string& name : {"lc" + std::to_string(i), "ld" + std::to_string(i)})
            if (indexOf(reader, name) < 0)
                hidden = name;
    ASSERT_FALSE(hidden.empty());
    ASSERT_TRUE(netns::sendFrames(hidden.c_str(), 10, 1000));
    // What the kernel counted: a frame its peer's queue dropped is not sent.
    EXPECT_TRUE(eventually([&] { return kernelTx(hidden.c_str()) > 0 && liveSent(reader, hidden) == kernelTx(hidden.c_str()); }))
        << hidden << ": " << liveSent(reader, hidden) << " shown of " << kernelTx(hidden.c_str()) << " sent";
    EXPECT_EQ(service.kill(SIGTERM), 0);
}

TEST(LtsrvcEndToEnd, keeps_the_records_a_full_disk_refused_at_stop_for_the_next_start)
{
    REQUIRE_PRIVATE_NETNS();
    ServiceFolders setup;
    std::filesystem::create_directories(std::filesystem::path(setup.logPath).parent_path());
    {
        // Longer than the service's blocks in the IPC folder, which the
        // file size limit below holds too.
        ConnectionLogger history(nullptr, setup.logPath);
        for (int i = 0; i < 3000; ++i)
            history.logLANConnection("old", 46000.0, 46000.0, 1, 1);
    }
    const auto full = static_cast<rlim_t>(std::filesystem::file_size(setup.logPath)) + 10;
    ASSERT_TRUE(vethPair("le0", "le1"));
    {
        Service service(setup.folder, nullptr, full);
        SharedStatisticsReader reader;
        ASSERT_TRUE(eventually([&] { reader.refresh(); return indexOf(reader, "le0") >= 0; })) << service.errors();
        ASSERT_TRUE(netns::sendFrames("le0", 10, 1000));
        ASSERT_TRUE(eventually([&] { return liveSent(reader, "le0") == 10000; }));
        EXPECT_EQ(service.kill(SIGTERM), 0);
        EXPECT_NE(service.errors().find("kept in " + setup.logPath + ".pending"), std::string::npos) << service.errors();
    }
    ASSERT_EQ(readLog(setup.logPath).size(), 3000u);
    Service again(setup.folder);
    EXPECT_TRUE(eventually([&] { return !std::filesystem::exists(setup.logPath + ".pending"); })) << again.errors();
    EXPECT_EQ(again.kill(SIGTERM), 0);
    EXPECT_EQ(loggedSent(setup.logPath, "le0"), 10000u);
}

TEST(LtsrvcEndToEnd, logs_the_running_hour_of_a_killed_service_when_the_next_one_starts)
{
    REQUIRE_PRIVATE_NETNS();
    ServiceFolders setup;
    ASSERT_TRUE(vethPair("lf0", "lf1"));
    SharedStatisticsReader reader;
    for (int kill = 1; kill <= 3; ++kill) {
        Service service(setup.folder);
        ASSERT_TRUE(eventually([&] { reader.refresh(); return indexOf(reader, "lf0") >= 0; })) << service.errors();
        ASSERT_TRUE(netns::sendFrames("lf0", 10, 1000));
        ASSERT_TRUE(eventually([&] { return liveSent(reader, "lf0") == 10000; })) << kill;
        EXPECT_EQ(service.kill(SIGKILL), 128 + SIGKILL);
    }
    Service last(setup.folder); // logs the third's hour before it meters
    ASSERT_TRUE(eventually([&] { reader.refresh(); return reader.isActive(); })) << last.errors();
    EXPECT_EQ(last.kill(SIGTERM), 0);
    EXPECT_EQ(loggedSent(setup.logPath, "lf0"), 30000u);
    EXPECT_EQ(kernelTx("lf0"), 30000u);
}

TEST(LtsrvcEndToEnd, installs_and_removes_a_unit_that_systemd_accepts)
{
    const std::string folder = testenv::freshFolder("systemd");
    testenv::ScopedEnv units("LINKTALLY_SYSTEMD_DIR", folder.c_str());
    testenv::ScopedEnv systemctl("LINKTALLY_SYSTEMCTL", "true");
    // Also where the linktally package is installed.
    testenv::ScopedEnv notPackaged("LINKTALLY_PACKAGED_UNIT_DIRS", testenv::freshFolder("no-package").c_str());
    const std::string unit = folder + "/LinktallyService_v1_3_1.service";
    ASSERT_EQ(std::system((std::string(LTSRVC) + " --install >/dev/null").c_str()), 0);
    const std::string text = testenv::readFile(unit);
    EXPECT_NE(text.find("Description=LinktallyService_v1.3.1\n"), std::string::npos);
    EXPECT_NE(text.find(std::string("ExecStart=") + LTSRVC + "\n"), std::string::npos);
    EXPECT_NE(text.find("Restart=on-failure\n"), std::string::npos);
    if (::access("/usr/bin/systemd-analyze", X_OK) == 0) {
        EXPECT_EQ(std::system(("systemd-analyze verify '" + unit + "'").c_str()), 0);
    }
    ASSERT_EQ(std::system((std::string(LTSRVC) + " --uninstall >/dev/null").c_str()), 0);
    EXPECT_NE(::access(unit.c_str(), F_OK), 0);
}

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

Outcome ltsrvc(const std::string& arguments)
{
    const std::string folder = testenv::freshFolder("run");
    const std::string out = folder + "/out", err = folder + "/err";
    const int status = std::system((std::string(LTSRVC) + " " + arguments + " >'" + out + "' 2>'" + err + "'").c_str());
    return {WEXITSTATUS(status), testenv::readFile(out), testenv::readFile(err)};
}

} // namespace

TEST(LtsrvcEndToEnd, leaves_the_packaged_service_alone_on_install_and_uninstall)
{
    const std::string packaged = testenv::freshFolder("usr-lib-systemd");
    const std::string own = testenv::freshFolder("etc-systemd");
    const std::string calls = testenv::freshFolder("calls") + "/systemctl";
    std::ofstream(packaged + "/LinktallyService_v1_3_1.service") << "[Service]\n";
    std::ofstream(own + "/LinktallyService_v1_3_1.service") << "left from a source build\n";
    testenv::ScopedEnv dirs("LINKTALLY_PACKAGED_UNIT_DIRS", ("/nonexistent:" + packaged).c_str());
    testenv::ScopedEnv units("LINKTALLY_SYSTEMD_DIR", own.c_str());
    testenv::ScopedEnv systemctl("LINKTALLY_SYSTEMCTL", ("sh -c 'echo \"$*\" >>" + calls + "' systemctl").c_str());
    const std::string message = "ltsrvc: the linktally package manages the service (systemctl status "
                                "LinktallyService_v1_3_1.service); nothing was changed.\n";
    for (const char* action : {"--install", "--uninstall"}) {
        SCOPED_TRACE(action);
        const Outcome run = ltsrvc(action);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, message);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(testenv::readFile(calls), ""); // neither stopped nor disabled
    EXPECT_EQ(testenv::readFile(own + "/LinktallyService_v1_3_1.service"), "left from a source build\n");
    EXPECT_EQ(testenv::readFile(packaged + "/LinktallyService_v1_3_1.service"), "[Service]\n");
}

TEST(LtsrvcEndToEnd, tells_its_name_and_version_and_lists_the_option_in_its_help)
{
    const Outcome version = ltsrvc("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "ltsrvc (Linktally) 1.3.1\n");
    EXPECT_EQ(version.err, "");
    EXPECT_NE(ltsrvc("--help").out.find("\n  --version     show the program's name and version\n"), std::string::npos);
}

namespace {

struct Report {
    int status;
    std::string out;
};

Report ltreport(const std::string& folder, const std::string& arguments)
{
    const std::string out = folder + "/report";
    const int status = std::system((std::string(LTREPORT) + " " + arguments + " >'" + out + "' 2>/dev/null").c_str());
    return {WEXITSTATUS(status), testenv::readFile(out)};
}

std::string summaryValue(const std::string& text, const std::string& name)
{
    const std::size_t at = text.find(name + ":");
    if (at == std::string::npos)
        return "";
    std::string value = text.substr(at + name.size() + 1, text.find('\n', at) - at - name.size() - 1);
    value.erase(0, value.find_first_not_of(' '));
    return value;
}

} // namespace

TEST(LtsrvcEndToEnd, repairs_a_damaged_log_without_losing_a_whole_record)
{
    REQUIRE_PRIVATE_NETNS();
    for (const damagedlog::Case& damage : damagedlog::fieldDamages()) {
        SCOPED_TRACE(damage.name);
        ServiceFolders setup;
        testenv::ScopedEnv noPrices("XDG_DATA_HOME", setup.folder.c_str());
        std::filesystem::create_directories(setup.folder + "/Tarnwick Software/Linktally/1.3.1");
        testenv::writeBytes(setup.logPath, damage.bytes);
        const std::size_t before = readWholeLog(setup.logPath).size();
        const Report checkBefore = ltreport(setup.folder, "check");
        const Report monthBefore = ltreport(setup.folder, "-c eth0 month 2025-12-09");

        Service service(setup.folder);
        SharedStatisticsReader table;
        ASSERT_TRUE(eventually([&] { table.refresh(); return table.isActive(); })) << service.errors();
        EXPECT_EQ(service.kill(SIGTERM), 0);

        const std::vector<unsigned char> after = testenv::readBytes(setup.logPath);
        const auto kept = static_cast<std::ptrdiff_t>(damage.bytes.size()) - damage.tornTail;
        EXPECT_EQ(after, std::vector<unsigned char>(damage.bytes.begin(), damage.bytes.begin() + kept));
        EXPECT_EQ(testenv::readBytes(setup.logPath + ".damaged"),
                  std::vector<unsigned char>(damage.bytes.begin() + kept, damage.bytes.end()));
        const std::size_t afterRepair = readWholeLog(setup.logPath).size();
        const Report checkAfter = ltreport(setup.folder, "check");
        const Report monthAfter = ltreport(setup.folder, "-c eth0 month 2025-12-09");

        EXPECT_EQ(static_cast<std::int64_t>(before), damage.wholeRecords);
        EXPECT_EQ(afterRepair, before);
        EXPECT_EQ(checkBefore.status, 2);
        EXPECT_EQ(summaryValue(checkBefore.out, "Whole records"), std::to_string(damage.wholeRecords));
        EXPECT_EQ(checkAfter.status, damage.tornTail > 0 ? 0 : 2); // only a torn tail goes
        EXPECT_EQ(summaryValue(checkAfter.out, "Whole records"), std::to_string(damage.wholeRecords));
        EXPECT_EQ(summaryValue(monthBefore.out, "Sent"), summaryValue(monthAfter.out, "Sent"));
        std::cout << "[ damage   ] " << damage.name << ": " << damage.bytes.size() << " bytes, " << before
                  << " whole records before, " << afterRepair << " after; log " << after.size() << " bytes; sent "
                  << summaryValue(monthAfter.out, "Sent") << "\n";
    }
}
