#include "platform/autostart.h"

#include "errors/ltexception.h"
#include "platform/environment.h"
#include "platform/folders.h"

#include <cerrno>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::string entryPath(const std::string& name)
{
    const std::optional<std::string> config = userConfigFolder();
    return config ? *config + "/autostart/" + name + ".desktop" : std::string();
}

// One argument, quoted by Exec's rules: a backslash before " ` $ \, and %
// doubled (a field code otherwise).
std::string execQuoted(const std::string& argument)
{
    std::string out = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += '\\';
        if (c == '%')
            out += '%';
        out += c;
    }
    return out + "\"";
}

// A key's string value writes a backslash and the control characters as
// escapes.
std::string desktopString(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// The folders scripts/run.sh chooses for a personal run; a packaged monitor
// is started without them.
constexpr const char* folderVariables[] = {"LINKTALLY_COMMON_APPDATA", "LINKTALLY_IPC_DIR"};

} // namespace

std::string autostartExec(const std::string& programPath)
{
    std::string command;
    for (const char* name : folderVariables) {
        const std::optional<std::string> value = variable(name);
        if (value && !value->empty()) // an empty one means the default, as unset
            command += execQuoted(std::string(name) + '=' + *value) + ' ';
    }
    command = (command.empty() ? "" : "env " + command) + execQuoted(programPath);
    return desktopString(command);
}

bool autostartExists(const std::string& name)
{
    const std::string path = entryPath(name);
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool createAutostart(const std::string& name, const std::string& programPath)
{
    const std::string path = entryPath(name);
    if (path.empty() || !createDirectories(path.substr(0, path.rfind('/'))))
        return false;
    std::ofstream entry(path, std::ios::trunc);
    entry << "[Desktop Entry]\nType=Application\nName=" << name << "\nExec=" << autostartExec(programPath)
          << "\nX-GNOME-Autostart-enabled=true\n";
    if (!entry.flush())
        throw LTException(("Can't write the autostart entry " + path).c_str(), errno);
    return true;
}

void removeAutostart(const std::string& name)
{
    const std::string path = entryPath(name);
    if (!path.empty())
        ::unlink(path.c_str());
}

} // namespace platform
