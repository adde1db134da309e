// ltsrvc: the Linktally collector service.
#include "common/common.h"
#include "common/dbglogger.h"
#include "platform/ras.h"
#include "platform/service_control.h"
#include "service/ltservice.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

const char* usage =
    "Usage: ltsrvc [--debug-log] [--install | --uninstall | --help | --version]\n"
    "\n"
    "Linktally's collector service: samples every operational LAN interface and\n"
    "every PPP link once a second, logs one record per connection and hour to\n"
    "cn.log and publishes the live figures for the monitor.\n"
    "\n"
    "  (no option)   run in the foreground until SIGTERM or SIGINT (Ctrl-C)\n"
    "  --debug-log   write debug messages to debug.log in the data folder\n"
    "  --install     write, enable and start the systemd unit\n"
    "                LinktallyService_v1_3_1.service for this program (root;\n"
    "                a source build only: the linktally package has its own)\n"
    "  --uninstall   stop, disable and remove that unit (root; a source build only)\n"
    "  --help        show this text\n"
    "  --version     show the program's name and version\n"
    "\n"
    "Data folder: $LINKTALLY_COMMON_APPDATA (else /var/lib) + \"/Tarnwick Software/Linktally/1.3.1\".\n";

int fail(const std::string& message)
{
    std::fprintf(stderr, "ltsrvc: %s\n", message.c_str());
    return 1;
}

void announce(const std::string& folder)
{
    std::printf("%s running; data folder: %s (stop with Ctrl-C or SIGTERM)\n", SERVICE_DISPLAY_NAME, folder.c_str());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    bool debugLog = false;
    std::string action;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::puts(versionText("ltsrvc").c_str());
            return 0;
        }
        if (arg == "--debug-log")
            debugLog = true;
        else if ((arg == "--install" || arg == "--uninstall") && action.empty())
            action = arg;
        else
            return fail("unknown or repeated option '" + arg + "' (see --help)");
    }
    try {
        if (action == "--install") {
            platform::installService(platform::runningProgramPath());
            std::printf("Installed and started %s\n", platform::SERVICE_UNIT_NAME);
            return 0;
        }
        if (action == "--uninstall") {
            platform::uninstallService();
            std::printf("Removed %s\n", platform::SERVICE_UNIT_NAME);
            return 0;
        }
        // Before any thread starts, so that the workers inherit the block.
        platform::StopRequests requests;
        std::unique_ptr<DbgLogger> dbgLogger;
        if (debugLog)
            dbgLogger = std::make_unique<DbgLogger>(service::getDataFolder() + "/" + DEBUG_LOG_FILE_NAME);
        const std::unique_ptr<RasProvider> ras = makeSystemRasProvider();
        TLinktallyService_v1_3_1 service(dbgLogger.get(), *ras);
        service.onRunning = announce;
        if (service.ServiceExecute(requests) != 0)
            return fail(service.lastError());
        return 0;
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}
