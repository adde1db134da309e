// Application data folders and directory creation.
#pragma once

#include <optional>
#include <string>

namespace platform {

// The folder for data of all users: $LINKTALLY_COMMON_APPDATA, else /var/lib.
// Empty when the lookup cannot answer (variable set but empty or relative).
std::optional<std::string> commonAppDataFolder();
// The user's data folder: $XDG_DATA_HOME, else $HOME/.local/share.
std::optional<std::string> userAppDataFolder();
// The user's configuration folder: $XDG_CONFIG_HOME, else $HOME/.config.
std::optional<std::string> userConfigFolder();

bool directoryExists(const std::string& path);
// Creates one directory with mode 0755 whatever the umask, so that every
// account may read it. A directory that another process created in the
// meantime counts as created (and keeps its mode).
bool createDirectory(const std::string& path);
// Creates a folder and its missing parents (mode 0700, as for the XDG base
// folders a fresh account may not have yet).
bool createDirectories(const std::string& path);

} // namespace platform
