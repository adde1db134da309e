#include "platform/folders.h"

#include "platform/environment.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

namespace platform {

namespace {

// An absolute path from the variable, the fallback when it is unset, or
// nothing when it is set to something unusable.
std::optional<std::string> fromVariable(const char* name, const std::optional<std::string>& fallback)
{
    const std::optional<std::string> value = variable(name);
    if (!value)
        return fallback;
    if (!value->starts_with('/'))
        return std::nullopt;
    return value;
}

std::optional<std::string> underHome(const char* relative)
{
    const std::optional<std::string> home = variable("HOME");
    if (!home || !home->starts_with('/'))
        return std::nullopt;
    return *home + relative;
}

} // namespace

std::optional<std::string> commonAppDataFolder()
{
    return fromVariable("LINKTALLY_COMMON_APPDATA", std::string("/var/lib"));
}

std::optional<std::string> userAppDataFolder()
{
    return fromVariable("XDG_DATA_HOME", underHome("/.local/share"));
}

std::optional<std::string> userConfigFolder()
{
    return fromVariable("XDG_CONFIG_HOME", underHome("/.config"));
}

bool directoryExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool createDirectory(const std::string& path)
{
    if (::mkdir(path.c_str(), 0755) != 0)
        return errno == EEXIST && directoryExists(path);
    // mkdir's mode passes through the umask; a service or monitor started
    // under 077 would hide the history from every other account.
    return ::chmod(path.c_str(), 0755) == 0;
}

bool createDirectories(const std::string& path)
{
    if (directoryExists(path))
        return true;
    const std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !createDirectories(path.substr(0, slash)))
        return false;
    return ::mkdir(path.c_str(), 0700) == 0 || (errno == EEXIST && directoryExists(path));
}

} // namespace platform
