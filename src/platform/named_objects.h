// Where named kernel objects live: "Global\NAME" is a file in the IPC
// folder, "Local\NAME" one in the user's runtime folder.
#pragma once

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

// $LINKTALLY_IPC_DIR, else /dev/shm.
std::string ipcFolder();
// Makes $LINKTALLY_IPC_DIR again, private to the user, when it is gone: a
// personal run's folder in the session's runtime folder does not outlive
// the session, while a log-on entry still names it. Throws LTException
// when it cannot be made.
void makeMissingIpcFolder();
// $XDG_RUNTIME_DIR, or empty when unset.
std::string sessionFolder();
// The file behind an object name; a name without prefix counts as global.
// "Local\NAME" without a runtime folder is NAME.<uid> in the IPC folder.
std::string namedObjectPath(const std::string& name);

} // namespace platform
