// Feeds arbitrary text to the reader of the settings store's file: no
// crash, and whatever it accepts is written back and read again unchanged.
#include "platform/registry.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    platform::RegistryValues values;
    platform::parseRegistryText(std::string_view(reinterpret_cast<const char*>(data), size), values);
    platform::RegistryValues again;
    if (!platform::parseRegistryText(platform::formatRegistryText("Software\\X", values), again) || again != values)
        __builtin_trap();
    return 0;
}
