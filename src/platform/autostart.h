// The programs started at log-on: XDG autostart entries
// <config>/autostart/<name>.desktop.
#pragma once

#include <string>

namespace platform {

bool autostartExists(const std::string& name);
// Writes (or overwrites) the entry; false when the folder cannot be made.
// Throws LTException when the entry cannot be written.
bool createAutostart(const std::string& name, const std::string& programPath);
// Removes the entry; a missing one is no error.
void removeAutostart(const std::string& name);
// The entry's Exec value for the program: the program alone, or through env
// with the folder variables this process was started with, so that the
// program finds the same data and service at log-on.
std::string autostartExec(const std::string& programPath);

} // namespace platform
