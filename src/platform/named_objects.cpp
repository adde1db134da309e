#include "platform/named_objects.h"

#include "errors/ltexception.h"
#include "platform/environment.h"

#include <cerrno>
#include <cstdio>
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
    if (folder.empty())
        return;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw LTException("Can't create the folder '" + folder + "' (LINKTALLY_IPC_DIR)", errno);
    // A name another account could have taken first (a symbolic link, a
    // folder of its own that everyone may write) is not used.
    struct stat about {};
    if (::lstat(folder.c_str(), &about) != 0)
        throw LTException("Can't read the folder '" + folder + "' (LINKTALLY_IPC_DIR)", errno);
    const bool foreign = about.st_uid != ::geteuid() && about.st_uid != 0;
    if (!S_ISDIR(about.st_mode) || (foreign && (about.st_mode & (S_IWGRP | S_IWOTH)) != 0)) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(about.st_mode & 07777));
        throw LTException("'" + folder + "' (LINKTALLY_IPC_DIR) is " +
                          (S_ISDIR(about.st_mode) ? "a folder of user " + std::to_string(about.st_uid) +
                                                        " that others may write (mode " + mode + ")"
                                                  : std::string("no folder")) +
                          ": not used");
    }
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
