#include "platform/environment.h"

#include <cstdlib>

namespace platform {

std::optional<std::string> variable(const char* name)
{
    const char* value = std::getenv(name);
    if (!value)
        return std::nullopt;
    return std::string(value);
}

std::string variableOr(const char* name, const std::string& fallback)
{
    const std::optional<std::string> value = variable(name);
    return value && !value->empty() ? *value : fallback;
}

} // namespace platform
