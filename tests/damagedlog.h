// Damaged connection logs as they are met in the field, shared by the unit
// tests of the log walk and the end-to-end tests of the real service.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace damagedlog {

// 200 hourly LAN records of "eth0" from 2025-12-09 00:00, record i with
// i + 1 megabytes sent, each frame 41 bytes: frame k stands at offset 41 * k.
inline constexpr int RECORDS = 200;
inline constexpr int FRAME = 41;
inline constexpr double FIRST_HOUR = 46000.0;
inline std::uint64_t sentOf(int record) { return static_cast<std::uint64_t>(record + 1) << 20; }
std::vector<unsigned char> cleanLog();

struct Case {
    const char* name;
    std::vector<unsigned char> bytes;
    std::int64_t wholeRecords; // what every reader reads
    std::int64_t tornTail;     // the bytes the service's repair keeps aside and cuts
};
// The damages: a torn last frame, a bit flipped in a middle frame's length,
// 4 KiB of zeros appended, 100 random bytes over the middle, a length of 0,
// and a middle frame whose length runs exactly to the end of the file.
std::vector<Case> fieldDamages();

} // namespace damagedlog
