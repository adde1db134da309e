// The service's frame on Linux: stop requests (SIGTERM, SIGINT) read
// without waiting, and the systemd unit that runs ltsrvc.
#pragma once

#include "platform/files.h"

#include <optional>
#include <string>

namespace platform {

// Blocks SIGTERM, SIGINT and SIGHUP for the calling thread and every thread
// it starts afterwards (build it first), and reads them from a signalfd.
// They stay blocked: the program is ending once one arrived.
class StopRequests {
public:
    StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;
    ~StopRequests();

    // True once a stop request has arrived; never waits.
    bool pending();

private:
    UniqueFd fd;
    bool stopped = false;
};

inline constexpr const char* SERVICE_UNIT_NAME = "LinktallyService_v1_3_1.service";

// The unit file the linktally package installed, or nothing for a source
// build. Looked for in the ':'-separated folders of
// $LINKTALLY_PACKAGED_UNIT_DIRS, else /usr/lib/systemd/system and
// /lib/systemd/system.
std::optional<std::string> packagedUnitFile();

// The unit's text for a program at programPath.
std::string serviceUnitText(const std::string& programPath);
// Writes the unit into $LINKTALLY_SYSTEMD_DIR (else /etc/systemd/system)
// and enables and starts it with systemctl ($LINKTALLY_SYSTEMCTL names
// another command). Throws LTException with what failed, and before
// touching anything when the package's unit is there.
void installService(const std::string& programPath);
// Stops, disables and removes the unit; refused as installService is.
void uninstallService();
// How the user starts the service that a monitor at monitorPath reads, as
// a sentence: the installed unit through systemctl when the monitor reads
// the system's table; from a checkout its scripts/run.sh, which starts both
// programs; else the service program beside the monitor.
std::string serviceStartAdvice(const std::string& monitorPath);
// The absolute path of the running program, also after an upgrade replaced
// its file (the path then names the new one). Throws LTException when it
// cannot be found, rather than name another program.
std::string runningProgramPath();
// The program path that the text of /proc/self/exe names: the kernel marks
// a file removed or replaced since the start with " (deleted)". Throws
// LTException for a text that is no absolute path.
std::string programPathFromExeLink(const std::string& linkText);

} // namespace platform
