// The real ltmonitor on a virtual X server (Xvfb) with an XEmbed tray host
// (trayer), driven with xdotool as a user would, its status read from its
// debug log; with the real ltsrvc metering a veth pair in a private network
// namespace.
#include "log/conlogger.h"
#include "model/budgetstore.h"
#include "netns.h"
#include "platform/registry.h"
#include "testenv.h"
#include "xtools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <poll.h>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const std::string meterTitle = "Linktally Monitor 1.3.1";
const std::string dataFolderSuffix = "/Tarnwick Software/Linktally/1.3.1";

using testenv::eventually;

bool onPath(const std::string& program)
{
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// A program run in the background, its output kept in files; ended with
// SIGTERM (then SIGKILL) when still running at the end of the test.
class Program {
public:
    explicit Program(std::vector<std::string> argv, int outputFd = -1)
    {
        const std::string folder = testenv::freshFolder("program");
        out = folder + "/out";
        err = folder + "/err";
        pid = ::fork();
        if (pid != 0)
            return;
        testenv::redirectOutput(out, err);
        std::vector<char*> args;
        for (std::string& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        if (outputFd >= 0)
            ::fcntl(outputFd, F_SETFD, 0); // handed down (Xvfb -displayfd)
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ~Program()
    {
        if (pid > 0 && !exited && running()) {
            ::kill(pid, SIGTERM);
            if (!eventually([&] { return !running(); }, 3))
                ::kill(pid, SIGKILL);
            wait();
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool running()
    {
        if (exited)
            return false;
        int s = 0;
        const pid_t r = ::waitpid(pid, &s, WNOHANG);
        if (r == 0)
            return true;
        exited = true;
        status = WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s);
        return false;
    }
    // The exit status (128 + signal when killed); -1 when still running
    // after seconds.
    int wait(double seconds = 10)
    {
        if (!eventually([&] { return !running(); }, seconds))
            return -1;
        return status;
    }
    std::string errors() const { return testenv::readFile(err); }

private:
    std::string out, err;
    pid_t pid = -1;
    bool exited = false;
    int status = -1;
};

// A program that writes one line to the descriptor it is given once it is
// ready (Xvfb -displayfd, dbus-daemon --print-address): the line, or empty
// when none came within 5 seconds.
std::unique_ptr<Program> startTelling(const std::function<std::vector<std::string>(const std::string& fd)>& argv,
                                      std::string& line)
{
    line.clear();
    int fds[2];
    if (::pipe(fds) != 0)
        return nullptr;
    ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
    auto program = std::make_unique<Program>(argv(std::to_string(fds[1])), fds[1]);
    ::close(fds[1]);
    pollfd p{fds[0], POLLIN, 0};
    char c = 0;
    while (::poll(&p, 1, 5000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n')
        line += c;
    ::close(fds[0]);
    return program;
}

// A virtual X server of its own (the first free display number) and, when
// asked, the window manager openbox and the tray host trayer on it; DISPLAY
// names it for the test's scope.
class XSession {
public:
    explicit XSession(bool withTray, bool withWindowManager = false)
    {
        if (withWindowManager && !onPath("openbox")) {
            why = "openbox is not installed (Debian package openbox)";
            return;
        }
        if (!onPath("Xvfb")) {
            why = "Xvfb is not installed (Debian package xvfb)";
            return;
        }
        if (withTray && !onPath("trayer")) {
            why = "trayer is not installed (Debian package trayer)";
            return;
        }
        if (!onPath("xdotool")) {
            why = "xdotool is not installed (Debian package xdotool)";
            return;
        }
        // Xvfb writes its display number once it accepts clients.
        std::string number;
        server = startTelling(
            [](const std::string& fd) {
                return std::vector<std::string>{"Xvfb", "-displayfd", fd, "-screen", "0", "1024x768x24", "-nolisten",
                                                "tcp"};
            },
            number);
        if (number.empty()) {
            why = "Xvfb did not start: " + (server ? server->errors() : "no pipe");
            return;
        }
        name = ":" + number;
        display = std::make_unique<testenv::ScopedEnv>("DISPLAY", name.c_str());
        x = std::make_unique<xtools::Display>(name);
        if (!x->ok()) {
            why = "cannot open the display " + name;
            return;
        }
        if (withWindowManager) {
            manager = std::make_unique<Program>(std::vector<std::string>{"openbox"});
            if (!x->waitForWindowManager(5)) {
                why = "openbox managed no screen: " + manager->errors();
                return;
            }
        }
        if (withTray) {
            tray = std::make_unique<Program>(std::vector<std::string>{
                "trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "100",
                "--height", "32"});
            if (!x->waitForTray(5))
                why = "trayer took no system tray: " + tray->errors();
        }
    }

    std::string why; // empty when the session is up
    std::string name;
    std::unique_ptr<Program> server, manager, tray;
    std::unique_ptr<testenv::ScopedEnv> display;
    std::unique_ptr<xtools::Display> x;
};

#define REQUIRE_X_SESSION(session)                                                                                   \
    do {                                                                                                             \
        if (!(session).why.empty())                                                                                  \
            GTEST_SKIP() << "needs a virtual X server: " << (session).why;                                           \
    } while (0)

// Folders of one test's programs, every one of its own: the monitor's data
// (its debug log) and settings, the service's log, the shared table.
struct Folders {
    std::string root = testenv::freshFolder("monitor");
    testenv::ScopedEnv common{"LINKTALLY_COMMON_APPDATA", (root + "/common").c_str()};
    testenv::ScopedEnv data{"XDG_DATA_HOME", (root + "/data").c_str()};
    testenv::ScopedEnv config{"XDG_CONFIG_HOME", (root + "/config").c_str()};
    testenv::ScopedEnv runtime{"XDG_RUNTIME_DIR", (root + "/runtime").c_str()};
    testenv::ScopedEnv ipc{"LINKTALLY_IPC_DIR", (root + "/ipc").c_str()};
    Folders()
    {
        for (const char* name : {"/common", "/data", "/config", "/runtime", "/ipc"})
            std::filesystem::create_directories(root + name);
        // Qt warns on standard error about a runtime folder of another mode.
        ::chmod((root + "/runtime").c_str(), 0700);
    }
};

// A command's output, trimmed; its exit status in status.
std::string output(const std::string& command, int* status = nullptr)
{
    const std::string out = testenv::freshFolder("command") + "/out";
    const int s = std::system((command + " >'" + out + "' 2>/dev/null").c_str());
    if (status)
        *status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    std::string text = testenv::readFile(out);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string xdotool(const std::string& arguments, int* status = nullptr) { return output("xdotool " + arguments, status); }

// One property of a window as xprop tells it: "NAME(TYPE) = values".
std::string xprop(unsigned long window, const std::string& property)
{
    return output("xprop -id " + std::to_string(window) + " " + property);
}

// A window with the frame its window manager put around it.
xtools::Rect framed(XSession& session, unsigned long window)
{
    xtools::Rect r = session.x->geometry(window);
    int left = 0, right = 0, top = 0, bottom = 0;
    std::sscanf(xprop(window, "_NET_FRAME_EXTENTS").c_str(), "_NET_FRAME_EXTENTS(CARDINAL) = %d, %d, %d, %d", &left,
                &right, &top, &bottom);
    return {r.x - left, r.y - top, r.width + left + right, r.height + top + bottom};
}

// The visible meter windows (one id a line; empty when hidden).
std::string visibleMeter() { return xdotool("search --onlyvisible --name '^" + meterTitle + "$'"); }

void click(const xtools::Rect& r, int x, int y, int button)
{
    xdotool("mousemove " + std::to_string(r.x + x) + " " + std::to_string(r.y + y) + " click " +
            std::to_string(button));
}

void clickCentre(const xtools::Rect& r, int button) { click(r, r.width / 2, r.height / 2, button); }

// The connection the meter shows, chosen as the options dialog would.
void chooseConnection(const std::string& name)
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string folder = std::string(config) + "/Tarnwick Software/Linktally";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/1.3.1.reg") << platform::formatRegistryText(
        "Software\\Tarnwick Software\\Linktally\\1.3.1", {{"Connection", std::string(name)}});
}

std::string debugLogPath() { return std::string(std::getenv("XDG_DATA_HOME")) + dataFolderSuffix + "/debug.log"; }

std::vector<std::string> statusLines()
{
    std::vector<std::string> lines;
    std::istringstream in(testenv::readFile(debugLogPath()));
    const std::string prefix = "TMainForm::updateStatus() - ";
    for (std::string line; std::getline(in, line);) {
        const std::size_t at = line.find(prefix);
        if (at != std::string::npos)
            lines.push_back(line.substr(at + prefix.size()));
    }
    return lines;
}

std::string lastStatus()
{
    const std::vector<std::string> lines = statusLines();
    return lines.empty() ? "" : lines.back();
}

bool logHas(const std::string& text) { return testenv::readFile(debugLogPath()).find(text) != std::string::npos; }

std::unique_ptr<Program> startMonitor()
{
    testenv::ScopedEnv platform("QT_QPA_PLATFORM", "xcb");
    // Under AddressSanitizer: leaks of the libraries Qt loads are not ours.
    // Whole stacks (Qt has no frame pointers) let a suppression name the
    // function that allocated, never a whole Qt library.
    testenv::ScopedEnv leaks("LSAN_OPTIONS",
                             "fast_unwind_on_malloc=0:print_suppressions=0:suppressions=" LSAN_SUPPRESSIONS);
    return std::make_unique<Program>(std::vector<std::string>{LTMONITOR, "--debug-log"});
}

// Answers the program's message box (titled as the program) with Return.
void closeBox()
{
    const std::string search = "search --maxdepth 1 --onlyvisible --name '^Linktally 1.3.1$'";
    ASSERT_TRUE(eventually([&] { return !xdotool(search).empty(); })) << "no message box";
    int focused = 1;
    eventually([&] { xdotool("windowfocus " + xdotool(search), &focused); return focused == 0; }, 3);
    xdotool("key Return");
    EXPECT_TRUE(eventually([&] { return xdotool(search).empty(); })) << "the box stayed open";
}

// The monitor's tray icon once the tray host embedded it and gave it room:
// no wider or higher than the 32 px panel (under a window manager the
// meter and a tray message are reparented too).
xtools::Rect trayIcon(XSession& session)
{
    xtools::Rect icon;
    eventually([&] {
        for (unsigned long window : session.x->trayIcons("ltmonitor")) {
            const xtools::Rect r = session.x->geometry(window);
            if (r.width > 1 && r.height > 1 && r.width <= 32 && r.height <= 32)
                icon = r;
        }
        return !icon.empty();
    });
    return icon;
}

} // namespace

TEST(LtmonitorEndToEnd, meters_live_traffic_from_the_tray_until_the_link_goes_and_exits_from_the_tray_menu)
{
    REQUIRE_PRIVATE_NETNS();
    XSession session(true);
    REQUIRE_X_SESSION(session);
    Folders folders;
    ASSERT_TRUE(netns::sh("ip link add lm0 type veth peer name lm1 && ip link set lm0 up && ip link set lm1 up"));
    chooseConnection("lm0");
    Program service({LTSRVC});
    auto monitor = startMonitor();

    // Started into the tray: the meter stays out of the way, also once the
    // start's hiding (200 ms) is past, as it is at the first tick (1 s).
    ASSERT_TRUE(eventually([] { return logHas("TMainForm::startMonitor() - tray icon added\n"); })) << monitor->errors();
    ASSERT_TRUE(eventually([] { return statusLines().size() >= 2; })) << monitor->errors();
    EXPECT_EQ(visibleMeter(), "");
    const xtools::Rect icon = trayIcon(session);
    ASSERT_FALSE(icon.empty()) << "no tray icon embedded in trayer";
    // trayer's panel is the bottom right 100 x 32 of the 1024 x 768 screen.
    EXPECT_GE(icon.x, 924);
    EXPECT_GE(icon.y, 736);
    EXPECT_LE(icon.x + icon.width, 1024);
    EXPECT_LE(icon.y + icon.height, 768);

    clickCentre(icon, 1);
    ASSERT_TRUE(eventually([] { return !visibleMeter().empty(); }, 5)) << "a left click on the tray icon shows no meter";
    const xtools::Rect meter = session.x->geometry(std::stoul(visibleMeter()));
    EXPECT_EQ(meter.width, 245);
    EXPECT_EQ(meter.height, 64);
    EXPECT_TRUE(logHas("TMainForm::FormShow() - shown"));

    ASSERT_TRUE(eventually([] { return lastStatus() == "S/R: 0.00/0.00 Mb; Costs: ?; Online"; }))
        << lastStatus() << "\n" << service.errors();
    // 0.50 Mb sent and 0.25 Mb received on lm0 (a megabyte is 2^20 bytes).
    ASSERT_TRUE(netns::sendFrames("lm0", 512, 1024));
    ASSERT_TRUE(netns::sendFrames("lm1", 256, 1024));
    EXPECT_TRUE(eventually([] { return lastStatus() == "S/R: 0.50/0.25 Mb; Costs: ?; Online"; }, 5)) << lastStatus();

    ASSERT_TRUE(netns::sh("ip link del lm0"));
    EXPECT_TRUE(eventually([] { return lastStatus() == "S/R: 0.50/0.25 Mb; Costs: ?; Offline"; }, 5)) << lastStatus();

    // Another left click hides the meter again.
    clickCentre(icon, 1);
    EXPECT_TRUE(eventually([] { return visibleMeter().empty(); }, 5)) << "a second click leaves the meter on screen";
    EXPECT_TRUE(logHas("TMainForm::FormHide() - hidden\n"));

    // Tray menu: Totals, Costs, Options, About, Show/Hide, Exit: Up reaches Exit.
    clickCentre(icon, 3);
    ASSERT_TRUE(eventually([&] { return !session.x->popups().empty(); }, 5)) << "no tray menu";
    xdotool("key Up Return");
    EXPECT_EQ(monitor->wait(5), 0) << monitor->errors();
    EXPECT_TRUE(service.running());
}

TEST(LtmonitorEndToEnd, tells_its_name_and_version_without_a_display)
{
    testenv::ScopedEnv noX("DISPLAY", nullptr);
    testenv::ScopedEnv noWayland("WAYLAND_DISPLAY", nullptr);
    testenv::ScopedEnv noPlatform("QT_QPA_PLATFORM", nullptr);
    const std::string folder = testenv::freshFolder("version");
    const std::string command = std::string(LTMONITOR) + " --version >'" + folder + "/out' 2>'" + folder + "/err'";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(testenv::readFile(folder + "/out"), "ltmonitor (Linktally) 1.3.1\n");
    EXPECT_EQ(testenv::readFile(folder + "/err"), "");
}

TEST(LtmonitorEndToEnd, refuses_a_second_instance_with_a_message)
{
    XSession session(true);
    REQUIRE_X_SESSION(session);
    Folders folders;
    auto first = startMonitor();
    ASSERT_TRUE(eventually([] { return logHas("TMainForm::startMonitor() - tray icon added"); })) << first->errors();

    auto second = startMonitor();
    // It says so on standard error and in a message box, and ends when the
    // box is closed.
    ASSERT_TRUE(eventually([] { return !xdotool("search --maxdepth 1 --onlyvisible --name '^Linktally 1.3.1$'").empty(); }))
        << second->errors();
    EXPECT_EQ(second->errors(), "ltmonitor: Linktally 1.3.1 is already running!\n");
    EXPECT_TRUE(second->running());
    closeBox();
    EXPECT_EQ(second->wait(5), 1);
    EXPECT_TRUE(first->running()) << first->errors();
    EXPECT_EQ(testenv::readFile(debugLogPath()).find("tray icon added"),
              testenv::readFile(debugLogPath()).rfind("tray icon added")); // the second added none
}

TEST(LtmonitorEndToEnd, keeps_the_meter_visible_without_a_tray_and_leads_everywhere_through_its_menus)
{
    XSession session(false);
    REQUIRE_X_SESSION(session);
    Folders folders;
    chooseConnection("lm0");
    auto monitor = startMonitor();
    ASSERT_TRUE(eventually([] { return statusLines().size() >= 2; })) << monitor->errors();
    ASSERT_NE(visibleMeter(), "") << "the meter hid with no tray to bring it back";
    // No service runs: without a tray a box says so, at start.
    EXPECT_TRUE(eventually([] { return logHas("TMainForm - told: No Linktally service is running"); }));
    closeBox();
    EXPECT_FALSE(logHas("TMainForm::FormHide() - hidden"));
    const xtools::Rect meter = session.x->geometry(std::stoul(visibleMeter()));
    EXPECT_EQ(meter.width, 245);
    EXPECT_EQ(meter.height, 64);
    EXPECT_EQ(lastStatus(), "S/R: 0.00/0.00 Mb; Costs: ?; Offline"); // no service, no such link

    // The little button opens the connection menu; Escape closes it.
    click(meter, 236, 55, 1);
    ASSERT_TRUE(eventually([&] { return session.x->popups().size() == 1; }, 5)) << "no connection menu";
    xdotool("key Escape");
    ASSERT_TRUE(eventually([&] { return session.x->popups().empty(); }, 5));

    // The chart's menu is the tray menu: Exit is its last item.
    click(meter, 120, 20, 3);
    ASSERT_TRUE(eventually([&] { return session.x->popups().size() == 1; }, 5)) << "no chart menu";
    xdotool("key Up Return");
    EXPECT_EQ(monitor->wait(5), 0) << monitor->errors();
}

TEST(LtmonitorEndToEnd, under_a_window_manager_is_a_tool_window_in_the_corner_that_the_tray_brings_from_another_desktop)
{
    XSession session(true, true);
    REQUIRE_X_SESSION(session);
    Folders folders;
    // A log-on entry's folder, gone with the session that made it.
    std::filesystem::remove(folders.root + "/ipc");
    auto monitor = startMonitor();
    ASSERT_TRUE(eventually([] { return logHas("TMainForm::startMonitor() - tray icon added\n"); })) << monitor->errors();
    ASSERT_TRUE(eventually([] { return statusLines().size() >= 2; })) << monitor->errors(); // past the start's hiding
    EXPECT_TRUE(eventually([] { return logHas("TMainForm - told: No Linktally service is running"); }));
    const xtools::Rect icon = trayIcon(session);
    ASSERT_FALSE(icon.empty()) << "no tray icon embedded in trayer";
    clickCentre(icon, 1);
    ASSERT_TRUE(eventually([] { return !visibleMeter().empty(); }, 5)) << "a left click on the tray icon shows no meter";
    const unsigned long meter = std::stoul(visibleMeter());

    // A title to move it by and nothing else: openbox allows neither
    // minimising nor maximising a toolbar.
    EXPECT_EQ(xprop(meter, "_MOTIF_WM_HINTS"), "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x4, 0xa, 0x0, 0x0");
    EXPECT_EQ(xprop(meter, "_NET_WM_WINDOW_TYPE"),
              "_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_TOOLBAR, _NET_WM_WINDOW_TYPE_UTILITY, "
              "_NET_WM_WINDOW_TYPE_NORMAL");
    const std::string allowed = xprop(meter, "_NET_WM_ALLOWED_ACTIONS");
    EXPECT_EQ(allowed.find("MINIMIZE"), std::string::npos) << allowed;
    EXPECT_EQ(allowed.find("MAXIMIZE"), std::string::npos) << allowed;
    // The first start: the frame's bottom right 30 px above the screen's.
    xtools::Rect frame;
    EXPECT_TRUE(eventually([&] {
        frame = framed(session, meter);
        return frame.x + frame.width == 1024 && frame.y + frame.height == 768 - 30;
    })) << frame.x << "," << frame.y << " " << frame.width << "x" << frame.height;

    // On another desktop the meter is out of sight: a click brings it there.
    xdotool("set_desktop 1");
    ASSERT_TRUE(eventually([] { return visibleMeter().empty(); }, 5));
    // Clicks that follow each other quickly are more than the 5 px apart
    // that would make the second a double click.
    click(icon, 2, 2, 1);
    EXPECT_TRUE(eventually([] { return !visibleMeter().empty(); }, 5)) << "the click left the meter on desktop 0";
    EXPECT_EQ(xprop(meter, "_NET_WM_DESKTOP"), "_NET_WM_DESKTOP(CARDINAL) = 1");
    clickCentre(icon, 1);
    EXPECT_TRUE(eventually([] { return visibleMeter().empty(); }, 5)) << "a click on a meter in sight left it there";

    // The service, found, lost and found again, is told each time.
    auto service = std::make_unique<Program>(std::vector<std::string>{LTSRVC});
    EXPECT_TRUE(eventually([] { return logHas("TMainForm - told: The Linktally service now runs"); }, 10));
    service.reset();
    EXPECT_TRUE(eventually([] { return logHas("TMainForm - told: The Linktally service has stopped"); }, 10));
    service = std::make_unique<Program>(std::vector<std::string>{LTSRVC});
    EXPECT_TRUE(eventually([] { return logHas("TMainForm - told: The Linktally service runs again"); }, 10));
}

TEST(LtmonitorEndToEnd, tells_each_budget_level_once_through_the_desktop_s_notifications_else_the_tray_else_a_box)
{
    XSession session(true);
    REQUIRE_X_SESSION(session);
    for (const char* program : {"dbus-daemon", "dunst", "dunstctl"})
        if (!onPath(program))
            GTEST_SKIP() << program << " is not installed (Debian packages dbus, dunst)";
    Folders folders;
    // A session bus that starts no service by itself: dunst's would be
    // started again at the first call after it was stopped.
    const std::string busConfig = folders.root + "/bus.conf";
    std::ofstream(busConfig) << "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                                "<policy context=\"default\"><allow send_destination=\"*\"/>"
                                "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n";
    std::string address;
    const auto bus = startTelling(
        [&](const std::string& fd) {
            return std::vector<std::string>{"dbus-daemon", "--config-file=" + busConfig, "--nofork",
                                            "--print-address=" + fd};
        },
        address);
    ASSERT_FALSE(address.empty()) << "no private session bus";
    testenv::ScopedEnv sessionBus("DBUS_SESSION_BUS_ADDRESS", address.c_str());
    auto server = std::make_unique<Program>(std::vector<std::string>{"dunst"});
    ASSERT_TRUE(eventually([] { int status = 1; output("dunstctl is-paused", &status); return status == 0; }))
        << server->errors();

    // 85 MB of a 100 MB budget this month.
    BudgetStore().setBudget("lte0", Budget{100.0, std::nullopt, 1});
    const std::string log = folders.root + "/common" + dataFolderSuffix + "/cn.log";
    std::filesystem::create_directories(folders.root + "/common" + dataFolderSuffix);
    const TDateTime today = std::floor(Now());
    const auto logMb = [&](int mb) { ConnectionLogger(nullptr, log).logLANConnection("lte0", today, today, mb * 1048576ull, 0); };
    logMb(85);
    const auto told = [](const std::string& how, int level) {
        const std::string text = testenv::readFile(debugLogPath());
        const std::string line = "TMainForm - " + how + ": lte0 has used " + std::to_string(level) + " % of its 100 MB";
        return text.find(line) == std::string::npos ? 0 : text.find(line) == text.rfind(line) ? 1 : 2;
    };
    const auto notifications = [] {
        output("dunstctl close-all");
        const std::string history = output("dunstctl history");
        std::size_t count = 0;
        const std::string body = "\"data\" : \"lte0 has used 80 %"; // not the summary's line, which quotes it
        for (std::size_t at = history.find(body); at != std::string::npos; at = history.find(body, at + 1))
            ++count;
        return count;
    };
    const auto runUntil = [](const std::function<bool()>& condition) {
        auto monitor = startMonitor();
        const std::size_t before = statusLines().size();
        EXPECT_TRUE(eventually(condition)) << monitor->errors();
        // Ticks go on past the telling: nothing is told twice.
        EXPECT_TRUE(eventually([&] { return statusLines().size() >= before + 3; })) << monitor->errors();
    };

    {
        auto monitor = startMonitor();
        EXPECT_TRUE(eventually([&] { return told("notified", 80) == 1; })) << monitor->errors();
        // Exit from the tray menu: under the sanitizers the exit looks for
        // leaks, the session bus's thread's too.
        const xtools::Rect icon = trayIcon(session);
        ASSERT_FALSE(icon.empty()) << "no tray icon";
        clickCentre(icon, 3);
        ASSERT_TRUE(eventually([&] { return !session.x->popups().empty(); }, 5)) << "no tray menu";
        xdotool("key Up Return");
        EXPECT_EQ(monitor->wait(5), 0) << monitor->errors();
    }
    EXPECT_EQ(notifications(), 1u);
    runUntil([] { return statusLines().size() >= 3; }); // a restart
    EXPECT_EQ(told("notified", 80), 1);
    EXPECT_EQ(notifications(), 1u);

    // No notification service: the tray's message; no tray either: a box.
    server.reset();
    logMb(5);
    runUntil([&] { return told("told", 90) == 1; });
    session.tray.reset();
    logMb(10);
    auto monitor = startMonitor();
    closeBox();
    EXPECT_EQ(told("told", 100), 1) << monitor->errors();
    EXPECT_EQ(told("notified", 90) + told("notified", 100), 0);
}
