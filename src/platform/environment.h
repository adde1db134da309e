// Environment variables that choose folders and files.
#pragma once

#include <optional>
#include <string>

namespace platform {

// The variable's value, or nothing when it is not set.
std::optional<std::string> variable(const char* name);
// The variable's value when it is set and not empty, else the fallback.
std::string variableOr(const char* name, const std::string& fallback);

} // namespace platform
