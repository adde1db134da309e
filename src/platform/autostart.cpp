#include "platform/autostart.h"

#include "errors/ltexception.h"
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

} // namespace

std::string desktopExecQuoted(const std::string& programPath)
{
    // Two levels: Exec's quoting escapes " ` $ \ with a backslash, and the
    // key's string value then writes every backslash twice.
    std::string out = "\"";
    for (const char c : programPath) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += "\\\\";
        if (c == '%')
            out += '%';
        out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    }
    return out + "\"";
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
    entry << "[Desktop Entry]\nType=Application\nName=" << name << "\nExec=" << desktopExecQuoted(programPath)
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
