#include "platform/named_objects.h"

#include <cstdlib>
#include <unistd.h>

namespace platform {

namespace {

std::string variableOr(const char* name, const std::string& fallback)
{
    const char* value = std::getenv(name);
    return value && value[0] ? std::string(value) : fallback;
}

} // namespace

mode_t creationMode(const SecurityAttributes* attributes)
{
    return attributes && attributes->descriptor ? attributes->descriptor->mode : 0600;
}

std::string ipcFolder() { return variableOr("LINKTALLY_IPC_DIR", "/dev/shm"); }

std::string sessionFolder()
{
    return variableOr("XDG_RUNTIME_DIR", ipcFolder() + "." + std::to_string(::getuid()));
}

std::string namedObjectPath(const std::string& name)
{
    static constexpr std::string_view global = "Global\\";
    static constexpr std::string_view local = "Local\\";
    if (name.starts_with(local))
        return sessionFolder() + "/" + name.substr(local.size());
    if (name.starts_with(global))
        return ipcFolder() + "/" + name.substr(global.size());
    return ipcFolder() + "/" + name;
}

} // namespace platform
