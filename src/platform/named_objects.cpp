#include "platform/named_objects.h"

#include "errors/ltexception.h"
#include "platform/environment.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

mode_t creationMode(const SecurityAttributes* attributes)
{
    return attributes && attributes->descriptor ? attributes->descriptor->mode : 0600;
}

std::string ipcFolder() { return variableOr("LINKTALLY_IPC_DIR", "/dev/shm"); }

void makeMissingIpcFolder()
{
    const std::string folder = variableOr("LINKTALLY_IPC_DIR", "");
    if (folder.empty() || ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST)
        return;
    throw LTException("Can't create the folder '" + folder + "' (LINKTALLY_IPC_DIR)", errno);
}

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
