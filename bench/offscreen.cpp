#include "offscreen.h"

#include "common/datetime.h"
#include "log/conlogger.h"
#include "ui/guicommon.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <utility>

std::string makePrivateFolders()
{
    char pattern[] = "/tmp/linktally-bench-XXXXXX";
    const std::string root = ::mkdtemp(pattern);
    const std::pair<const char*, const char*> folders[] = {
        {"LINKTALLY_COMMON_APPDATA", "common"}, {"XDG_DATA_HOME", "data"},
        {"XDG_CONFIG_HOME", "config"},         {"XDG_RUNTIME_DIR", "runtime"},
        {"LINKTALLY_IPC_DIR", "ipc"},          {"HOME", "home"},
        {"LINKTALLY_PPP_PEERS", "peers"},      {"LINKTALLY_PPP_RUNDIR", "ppprun"},
    };
    for (const auto& [variable, name] : folders) {
        const std::string path = root + "/" + name;
        std::filesystem::create_directories(path);
        ::setenv(variable, path.c_str(), 1);
    }
    // Qt refuses a runtime folder others can enter.
    std::filesystem::permissions(root + "/runtime", std::filesystem::perms::owner_all);
    return root;
}

std::string benchInterfaceName(int i) { return "enp" + std::to_string(i) + "s0"; }

void writeHourlyLog(const std::string& path, int days)
{
    ConnectionLogger logger(nullptr, path);
    const TDateTime last = std::floor(Now() * 24) / 24;
    const TDateTime first = last - days;
    for (int hour = 0; hour < days * 24; ++hour) {
        const TDateTime start = first + hour / 24.0;
        for (int i = 0; i < BENCH_INTERFACES; ++i)
            logger.logLANConnection(benchInterfaceName(i), start, start + 3599.0 / 86400.0,
                                    1000000u + static_cast<unsigned>(hour), 5000000u + static_cast<unsigned>(i));
    }
}

int runOffScreen(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The off-screen platform warns at every show that it cannot raise.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    MonitorApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
