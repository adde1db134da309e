#include "platform/service_control.h"

#include "errors/ltexception.h"
#include "platform/environment.h"
#include "service_unit_template.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

namespace {

sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    // A closed terminal ends a foreground run too: with its last records.
    sigaddset(&set, SIGHUP);
    return set;
}

std::string unitPath() { return variableOr("LINKTALLY_SYSTEMD_DIR", "/etc/systemd/system") + "/" + SERVICE_UNIT_NAME; }

// The package's unit is the package's business: a second copy in
// /etc/systemd/system would override it, and removing it would leave the
// package half gone.
// A word the shell takes as it is: quoted when it holds anything but
// letters, digits and / . _ - + , : @ =.
std::string shellWord(const std::string& word)
{
    if (!word.empty() && word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/._-+,:@=") ==
                             std::string::npos)
        return word;
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

void refuseWhenPackaged()
{
    if (packagedUnitFile())
        throw LTException(std::string("the linktally package manages the service (systemctl status ") +
                          SERVICE_UNIT_NAME + "); nothing was changed.");
}

// Runs systemctl with the arguments; true when it exited with 0.
bool systemctl(const std::string& arguments)
{
    const std::string command = variableOr("LINKTALLY_SYSTEMCTL", "systemctl") + " " + arguments;
    const int status = std::system(command.c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

StopRequests::StopRequests()
{
    const sigset_t set = stopSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    fd.reset(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!fd)
        throw LTException("Can't watch for stop requests", errno);
}

// The signals stay blocked: a second stop request during the teardown must
// not kill the process after its last records were written.
StopRequests::~StopRequests() = default;

bool StopRequests::pending()
{
    signalfd_siginfo info;
    while (::read(fd.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        stopped = true;
    return stopped;
}

std::optional<std::string> packagedUnitFile()
{
    std::istringstream folders(
        variableOr("LINKTALLY_PACKAGED_UNIT_DIRS", "/usr/lib/systemd/system:/lib/systemd/system"));
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string file = folder + "/" + SERVICE_UNIT_NAME;
        if (!folder.empty() && ::access(file.c_str(), F_OK) == 0)
            return file;
    }
    return std::nullopt;
}

std::string serviceStartAdvice(const std::string& monitorPath)
{
    const bool systemTable = variableOr("LINKTALLY_IPC_DIR", "").empty();
    if (systemTable && (packagedUnitFile() || ::access(unitPath().c_str(), F_OK) == 0))
        return std::string("Start it with: sudo systemctl start ") + SERVICE_UNIT_NAME;
    const std::string folder = monitorPath.substr(0, monitorPath.rfind('/'));
    // A checkout's build/<preset>/bin.
    const std::string runScript = folder + "/../../../scripts/run.sh";
    if (::access(runScript.c_str(), X_OK) == 0) {
        char resolved[PATH_MAX];
        const std::string script = ::realpath(runScript.c_str(), resolved) ? resolved : runScript;
        return "Exit this monitor and start both programs with: " + script;
    }
    // Started by hand, the service must meet this monitor in its folders.
    std::string command;
    for (const char* name : {"LINKTALLY_COMMON_APPDATA", "LINKTALLY_IPC_DIR"}) {
        const std::string value = variableOr(name, "");
        if (!value.empty())
            command += std::string(name) + "=" + shellWord(value) + " ";
    }
    return "Start it with: " + command + shellWord(folder + "/ltsrvc");
}

std::string serviceUnitText(const std::string& programPath)
{
    std::string text = SERVICE_UNIT_TEMPLATE;
    const std::string placeholder = "@LTSRVC@";
    // systemd splits ExecStart at blanks unless the path is quoted.
    const bool quote = programPath.find_first_of(" \t") != std::string::npos;
    text.replace(text.find(placeholder), placeholder.size(), quote ? "\"" + programPath + "\"" : programPath);
    return text;
}

std::string programPathFromExeLink(const std::string& linkText)
{
    static constexpr std::string_view deleted = " (deleted)";
    std::string path = linkText;
    if (path.ends_with(deleted))
        path.resize(path.size() - deleted.size());
    if (!path.starts_with('/'))
        throw LTException("Can't find the path of the running program ('" + linkText + "')");
    return path;
}

std::string runningProgramPath()
{
    char link[PATH_MAX + 1];
    const ssize_t length = ::readlink("/proc/self/exe", link, sizeof link);
    if (length < 0)
        throw LTException("Can't find the path of the running program", errno);
    if (static_cast<std::size_t>(length) >= sizeof link)
        throw LTException("Can't find the path of the running program", ENAMETOOLONG);
    const std::string path = programPathFromExeLink(std::string(link, static_cast<std::size_t>(length)));
    // Removed without a successor: no entry may name a file that is not there.
    if (::access(path.c_str(), X_OK) != 0)
        throw LTException("Can't find the running program at " + path, errno);
    return path;
}

void installService(const std::string& programPath)
{
    refuseWhenPackaged();
    const std::string path = unitPath();
    {
        std::ofstream unit(path, std::ios::trunc);
        unit << serviceUnitText(programPath);
        if (!unit.flush())
            throw LTException(("Can't write " + path).c_str(), errno);
    }
    ::chmod(path.c_str(), 0644);
    if (!systemctl("daemon-reload") || !systemctl(std::string("enable --now ") + SERVICE_UNIT_NAME))
        throw LTException(std::string("systemctl could not enable and start ") + SERVICE_UNIT_NAME);
}

void uninstallService()
{
    refuseWhenPackaged();
    const std::string path = unitPath();
    systemctl(std::string("disable --now ") + SERVICE_UNIT_NAME);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        throw LTException(("Can't remove " + path).c_str(), errno);
    systemctl("daemon-reload");
}

} // namespace platform
