// Feeds arbitrary text to the reader of pppd peers files (the dial-up phone
// book): it must neither crash nor read outside its input; a chat script
// named in the entry is answered with the same text.
#include "platform/ras.h"

#include <cstdint>
#include <string>

namespace {
std::string script;
std::string readScript(const std::string&) { return script; }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    script = text;
    const platform::ras::PeerEntry entry = platform::ras::parsePeerEntry(text, &readScript);
    if (entry.user.size() > size || entry.phoneNumber.size() > size)
        __builtin_trap();
    platform::ras::pidFileNames(text, "ppp0");
    return 0;
}
