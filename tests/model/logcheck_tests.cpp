#include "common/common.h"
#include "log/logrecord.h"
#include "model/logcheck.h"

#include <gtest/gtest.h>

namespace {

const TDateTime at = EncodeDate(2026, 11, 8);
const double second = 1.0 / SecsPerDay;

struct Check {
    PlausibilityCheck check{EncodeDate(2026, 12, 9)};
    std::int64_t offset = 0;
    void add(TDateTime start, TDateTime end, std::uint64_t received = 1, const char* name = "eth0")
    {
        LogRecordFields r;
        r.type = LAN_CONNECTION;
        r.entryName = name;
        r.start = start;
        r.end = end;
        r.received = received;
        check.add(offset, 40, r);
        offset += 40;
    }
    std::map<std::int64_t, std::string> found()
    {
        std::map<std::int64_t, std::string> reasons;
        for (const SuspiciousRecord& r : check.finish())
            reasons[r.offset] = r.reason;
        return reasons;
    }
};

} // namespace

TEST(PlausibilityCheck, names_records_that_cannot_be_true_and_lets_a_clock_set_back_and_sampling_pass)
{
    Check c;
    c.add(at, at + 3599 * second, 300000000000000u);            // 0: 280 TB in an hour
    c.add(at + 3599 * second, at + 3600 * second, 12500000000u); // 40: 100 Gbit/s for a second: possible
    c.add(at + 0.1, at + 0.1 - 2 * 3600 * second);               // 80: ends two hours before it starts
    c.add(at + 0.2, at + 0.25);                                   // 120: after a set-back, time runs again
    c.add(at + 0.25 - 0.5 * second, at + 0.3);                   // 160: half a second of overlap: sampling
    c.add(at + 0.29, at + 0.35);                                  // 200: overlaps by 864 s
    c.add(at + 0.3, at + 0.31, 1, "eth1");                       // 240: another connection
    c.add(at + 0.31, at + 0.31 - 1800 * second);                 // 280: the clock set back half an hour
    c.add(at + 0.31 - 1800 * second, at + 0.32);                 // 320: and on from there
    c.add(EncodeDate(2026, 12, 11), EncodeDate(2026, 12, 11) + 0.01); // 360: two days ahead
    c.add(at + 0.33, at + 0.34);                                       // 400: its neighbour is not
    const auto found = c.found();
    EXPECT_EQ(found, (std::map<std::int64_t, std::string>{
                         {0, "suspicious: more bytes than 100 Gbit/s carry in 3599 s"},
                         {80, "suspicious: ends 7200 s before it starts"},
                         {200, "suspicious: overlaps the record at offset 160 by 864 s"},
                         {360, "suspicious: dated more than a day after now"},
                     }));
}
