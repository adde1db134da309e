#include "platform/named_objects.h"

#include "errors/ltexception.h"
#include "platform/environment.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

mode_t creationMode(const SecurityAttributes* attributes)
{
    return attributes && attributes->descriptor ? attributes->descriptor->mode : 0600;
}

namespace {

constexpr const char* SYSTEM_IPC_FOLDER = "/run/linktally";

} // namespace

std::string ipcFolder() { return variableOr("LINKTALLY_IPC_DIR", SYSTEM_IPC_FOLDER); }

std::string ownerText(const std::string& path, uid_t owner, mode_t mode)
{
    const struct passwd* account = ::getpwuid(owner);
    char octal[8];
    std::snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(mode & 07777));
    return "'" + path + "' belongs to user " + (account ? std::string(account->pw_name) + " " : std::string()) +
           "(uid " + std::to_string(owner) + "), mode " + octal;
}

void prepareServiceIpcFolder()
{
    const std::string folder = ipcFolder();
    if (folder == SYSTEM_IPC_FOLDER && ::geteuid() == 0 && ::mkdir(folder.c_str(), 0755) == 0)
        ::chmod(folder.c_str(), 0755); // whatever the umask: readers must get in
    struct stat about {};
    if (::lstat(folder.c_str(), &about) != 0)
        throw LTException("Can't use the folder '" + folder + "' for the live table", errno);
    if (!S_ISDIR(about.st_mode))
        throw LTException("'" + folder + "' is no folder: the live table is not put there");
    // Another account that may write there could make the table or its lock
    // before the service, and monitors would trust what it writes.
    if ((about.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        throw LTException(ownerText(folder, about.st_uid, about.st_mode) +
                          ": other accounts may write there, so the live table is not put there");
    if (about.st_uid != ::geteuid() && about.st_uid != 0)
        throw LTException(ownerText(folder, about.st_uid, about.st_mode) +
                          ": only the service's own account or root may own the live table's folder (another "
                          "service's? stop it, or set LINKTALLY_IPC_DIR)");
}

std::optional<uid_t> ipcFolderOwner()
{
    struct stat about {};
    if (::stat(ipcFolder().c_str(), &about) != 0)
        return std::nullopt;
    return about.st_uid;
}

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
    // Another account's folder is not used, whatever its mode: monitors
    // trust the blocks of the folder's owner.
    const bool foreign = about.st_uid != ::geteuid() && about.st_uid != 0;
    if (!S_ISDIR(about.st_mode) || foreign || (about.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(about.st_mode & 07777));
        throw LTException("'" + folder + "' (LINKTALLY_IPC_DIR) is " +
                          (S_ISDIR(about.st_mode) ? "a folder of user " + std::to_string(about.st_uid) +
                                                        (foreign ? ", not yours" : "") +
                                                        ((about.st_mode & (S_IWGRP | S_IWOTH)) != 0
                                                             ? " that others may write"
                                                             : "") +
                                                        " (mode " + mode + ")"
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
        if (!session.empty())
            return session + "/" + object;
        // Without a runtime folder the object's name carries the user id, in
        // the IPC folder where the user may write there (a personal run's),
        // else in the memory file system (the system's IPC folder is the
        // service's account's alone).
        const std::optional<uid_t> owner = ipcFolderOwner();
        const std::string folder = owner && *owner == ::geteuid() ? ipcFolder() : "/dev/shm";
        return folder + "/" + object + "." + std::to_string(::getuid());
    }
    if (name.starts_with(global))
        return ipcFolder() + "/" + name.substr(global.size());
    return ipcFolder() + "/" + name;
}

} // namespace platform
