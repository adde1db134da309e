// Records that decode but cannot be true. The log has no checksum, so a
// flipped bit in a byte count or a date reads as a valid record: the log
// check names such records, and the views still show them.
#pragma once

#include "common/datetime.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct LogRecordFields;

struct SuspiciousRecord {
    std::int64_t offset = 0; // of its frame
    std::int64_t length = 0; // of its frame
    std::string reason;
};

// More than any link carries: 100 Gbit/s in either direction.
inline constexpr double MOST_BYTES_PER_SECOND = 12.5e9;
// A record may end before it starts when the clock was set back (the end of
// daylight saving time sets it back an hour); more than that is suspicious.
inline constexpr double MOST_SET_BACK_DAYS = 1.0 / 24;
// Records are dated by the service's clock: not later than a day ahead.
inline constexpr double MOST_DAYS_AHEAD = 1.0;
// Each record of a connection starts where the one before it in the log
// ended; sampling lets them overlap by less than a second.
inline constexpr double MOST_OVERLAP_DAYS = 1.0 / SecsPerDay;

class PlausibilityCheck {
public:
    explicit PlausibilityCheck(TDateTime now) : now(now) {}
    void add(std::int64_t frameOffset, std::int64_t frameLength, const LogRecordFields& record);
    // Every suspicious record, in file order, with the reasons for each.
    std::vector<SuspiciousRecord> finish();

private:
    struct Span {
        TDateTime start;
        TDateTime end;
        std::int64_t offset;
        std::int64_t length;
    };
    void suspect(const Span& span, const std::string& reason);
    bool isAhead(const Span& span) const;

    TDateTime now;
    std::map<std::string, std::vector<Span>> byConnection; // type and name; in file order
    std::map<std::int64_t, SuspiciousRecord> found;        // by offset
};
