#include "fakes/live_table.h"
#include "model/contrace.h"
#include "model/sharedstatreader.h"

#include <gtest/gtest.h>

TEST(ConnectionTrace, smooths_the_three_newest_samples_and_keeps_its_peak)
{
    ConnectionTrace trace(5, "eth0", 0, 100, 100);
    trace.update(1100, 3100);
    EXPECT_EQ(trace.getVisibleTrackLength(), 3);
    EXPECT_EQ(trace.getTraffic(2), 2000u); // 0.5 x 4000
    EXPECT_EQ(trace.getMaxTraffic(), 2000u);
    trace.update(1100, 3100);
    trace.update(1100, 3100);
    EXPECT_EQ(trace.getTraffic(2), 800u); // 0.2 x 4000 + 0.3 x 0 + 0.5 x 0
    EXPECT_EQ(trace.getMaxTraffic(), 2000u);
}

TEST(ConnectionTrace, takes_a_drop_as_a_wrap_while_present_and_as_a_restart_after_an_absence)
{
    ConnectionTrace wrapped(3, "eth0", 0, 0xFFFFFF00u, 0);
    wrapped.update(0x100, 0);
    EXPECT_EQ(wrapped.getTraffic(0), 0x100u);  // 0.5 x 512 = 256
    ConnectionTrace restarted(3, "eth0", 0, 0xFFFFFF00u, 0);
    restarted.missing();
    restarted.update(0x100, 0);
    EXPECT_EQ(restarted.getTraffic(0), 0x80u); // the raw 256, halved by the weight
    EXPECT_EQ(restarted.getMissingCount(), 0u);
}

TEST(ConnectionsTracer, starts_a_trace_without_a_sample_and_forgets_it_after_a_track_of_absence)
{
    LiveTable live;
    SharedStatisticsReader reader;
    ConnectionsTracer tracer(4);
    live.rows({{"eth0", 0, 0, 1000, 1000}, {"eth0", 0, 0, 1000, 1000}, {"Eth0", 0, 0, 5, 5}});
    reader.refresh();
    tracer.update(reader);
    ASSERT_EQ(tracer.count(), 2); // one per name, letter case counts
    EXPECT_EQ(tracer.trace(0).getTraffic(1), 0u);
    EXPECT_EQ(tracer.trace(0).getMissingCount(), 0u); // online from its first tick
    live.rows({{"eth0", 0, 0, 1400, 1000}, {"Eth0", 0, 0, 5, 5}});
    reader.refresh();
    tracer.update(reader);
    EXPECT_EQ(tracer.trace(0).getTraffic(1), 200u); // its first sample: 400 bytes, weighted 0.5
    live.rows({{"Eth0", 0, 0, 5, 5}});
    for (int tick = 1; tick <= 3; ++tick) {
        reader.refresh();
        tracer.update(reader);
        EXPECT_EQ(tracer.indexOf("eth0"), 0) << tick;
        EXPECT_EQ(tracer.trace(0).getMissingCount(), static_cast<std::uint32_t>(tick));
    }
    reader.refresh();
    tracer.update(reader);
    EXPECT_EQ(tracer.indexOf("eth0"), -1);
    EXPECT_EQ(tracer.indexOf("Eth0"), 0);
}
