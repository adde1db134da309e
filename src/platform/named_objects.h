// Where named kernel objects live: "Global\NAME" is a file in the IPC
// folder, "Local\NAME" one in the user's runtime folder.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace platform {

// Who may open an object: the file mode it is created with.
struct SecurityDescriptor {
    mode_t mode = 0600;
};

struct SecurityAttributes {
    const SecurityDescriptor* descriptor = nullptr;
    bool inheritHandle = false;
};

// The mode an object is created with under these attributes (0600 without).
mode_t creationMode(const SecurityAttributes* attributes);

// $LINKTALLY_IPC_DIR, else /run/linktally: a folder only the service's
// account may write, never one every account can (another account could
// create the names first).
std::string ipcFolder();
// For the service, before it makes its objects: /run/linktally made
// (root's, 0755) when a root service finds none; an IPC folder that other
// accounts may write is refused. Throws LTException naming the folder, its
// owner and its mode.
void prepareServiceIpcFolder();
// The account that owns the IPC folder; none when it cannot be read.
std::optional<uid_t> ipcFolderOwner();
// "'PATH' belongs to user NAME (uid N), mode 0666", for the messages about
// a file or folder another account could have made or changed.
std::string ownerText(const std::string& path, uid_t owner, mode_t mode);
// Makes $LINKTALLY_IPC_DIR again, private to the user, when it is gone: a
// personal run's folder in the session's runtime folder does not outlive
// the session, while a log-on entry still names it. Throws LTException
// when it cannot be made.
void makeMissingIpcFolder();
// $XDG_RUNTIME_DIR, or empty when unset.
std::string sessionFolder();
// The file behind an object name; a name without prefix counts as global.
// "Local\NAME" without a runtime folder is NAME.<uid> in the IPC folder
// when it is the user's own, else in /dev/shm.
std::string namedObjectPath(const std::string& name);

} // namespace platform
