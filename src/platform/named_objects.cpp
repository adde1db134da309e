#include "platform/named_objects.h"

#include "platform/environment.h"
#include <cstdlib>
#include <unistd.h>

namespace platform {

namespace {

} // namespace

mode_t creationMode(const SecurityAttributes* attributes)
{
    return attributes && attributes->descriptor ? attributes->descriptor->mode : 0600;
}

std::string ipcFolder() { return variableOr("LINKTALLY_IPC_DIR", "/dev/shm"); }

std::string sessionFolder() { return variableOr("XDG_RUNTIME_DIR", ""); }

std::string namedObjectPath(const std::string& name)
{
    static constexpr std::string_view global = "Global\\";
    static constexpr std::string_view local = "Local\\";
    if (name.starts_with(local)) {
        const std::string session = sessionFolder();
        const std::string object = name.substr(local.size());
        // Without a runtime folder the object's name carries the user id.
        return session.empty() ? ipcFolder() + "/" + object + "." + std::to_string(::getuid())
                               : session + "/" + object;
    }
    if (name.starts_with(global))
        return ipcFolder() + "/" + name.substr(global.size());
    return ipcFolder() + "/" + name;
}

} // namespace platform
