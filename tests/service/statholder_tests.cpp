#include "common/common.h"
#include "common/dbglogger.h"
#include "fakes/fake_table.h"
#include "fakes/scripted_ras.h"
#include "log/conlogger.h"
#include "model/datamodel.h"
#include "netns.h"
#include "service/connection.h"
#include "service/rasconbuffer.h"
#include "service/statcollector.h"
#include "service/statholder.h"

#include <fstream>

namespace {

// The records of a log file: entry name (with phone number and user name)
// and bytes sent and received together.
std::vector<std::pair<std::string, std::uint64_t>> recordsOf(const std::string& logFile)
{
    std::vector<std::pair<std::string, std::uint64_t>> out;
    LogReader reader(logFile);
    LogRecordFields r;
    while (reader.readRecord(r))
        out.emplace_back(std::string(r.entryName) + "/" + std::string(r.phoneNumber) + "/" + std::string(r.userName),
                         r.sent + r.received);
    return out;
}

// A service's collector over the scripted table and dial-up provider,
// driven pass by pass under a fixed clock.
class Collector : public FakeTable {
protected:
    std::string folder = testenv::freshFolder("collector");
    testenv::ScopedEnv ipc{"LINKTALLY_IPC_DIR", folder.c_str()};
    ScriptedRas ras;
    ConnectionLogger logger{nullptr, folder + "/cn.log"};
    RasConBuffer buffer{ras, nullptr};
    std::unique_ptr<StatisticsCollector> collector;
    TDateTime now = EncodeDate(2026, 12, 8) + EncodeTime(10, 0, 0, 0);

    void SetUp() override
    {
        FakeTable::SetUp();
        resetConnectionUIDs();
        SetFixedNow(now);
    }
    void TearDown() override
    {
        collector.reset();
        ClearFixedNow();
        FakeTable::TearDown();
    }
    void start() { collector = std::make_unique<StatisticsCollector>(nullptr, &logger, &buffer, ras); }
    // One pass, seconds after the previous one.
    void pass(double seconds = 1)
    {
        now += seconds / SecsPerDay;
        SetFixedNow(now);
        collector->pass();
    }
    const SharedStatData& table() { return collector->table(); }
    std::vector<std::pair<std::string, std::uint64_t>> records() { return recordsOf(folder + "/cn.log"); }
};

// A collector over the kernel's PPP links of a private network namespace,
// with pppd's run and peers folders, on the system clock.
class CollectorKernel : public FakeTable {
protected:
    std::string folder = testenv::freshFolder("collector");
    testenv::ScopedEnv ipc{"LINKTALLY_IPC_DIR", folder.c_str()};
    testenv::ScopedEnv run{"LINKTALLY_PPP_RUNDIR", folder.c_str()};
    testenv::ScopedEnv peers{"LINKTALLY_PPP_PEERS", folder.c_str()};
    ConnectionLogger logger{nullptr, folder + "/cn.log"};

    void SetUp() override
    {
        FakeTable::SetUp();
        resetConnectionUIDs();
        ClearFixedNow();
        std::ofstream(folder + "/myisp") << "user joe\nconnect 'chat -v \"\" ATDT5551234'\n";
    }
};

} // namespace

TEST_F(Collector, follows_a_dial_up_connection_from_its_first_pass_to_its_hang_up)
{
    ras.connections = {{42, "isp"}};
    ras.entries["isp"] = {0, "", "joe", 0, "5551234"}; // no number in the dial parameters
    ras.statistics[42] = {0, 1000, 5000};
    buffer.refresh();
    start();
    pass();
    ASSERT_EQ(table().size, 1u);
    EXPECT_EQ(table().active, 1);
    EXPECT_EQ(table().logVersion, 0);
    EXPECT_EQ(table().table[0].UID, 1);
    EXPECT_STREQ(table().table[0].name, "isp");
    EXPECT_EQ(table().table[0].quantumSent, 0u); // the baseline

    ras.statistics[42] = {0, 1300, 5400};
    pass();
    EXPECT_EQ(table().table[0].quantumSent, 300u);
    EXPECT_EQ(table().table[0].quantumReceived, 400u);

    ras.statistics[42] = {ERROR_NO_CONNECTION, 0, 0}; // hung up
    pass();
    EXPECT_EQ(table().size, 0u);
    EXPECT_EQ(table().logVersion, 1);
    EXPECT_EQ(records(), (std::vector<std::pair<std::string, std::uint64_t>>{{"isp/5551234/joe", 700}}));
}

TEST_F(Collector, ends_lan_connections_on_a_failed_table_read_and_restarts_them_from_a_new_baseline)
{
    addRow("eth0", IF_TYPE_ETHERNET_CSMACD, 5, 100, 100, -1, 2);
    start();
    pass();
    setRow(0, 150, 100, 2);
    pass();
    script(ERROR_GEN_FAILURE);
    pass();
    EXPECT_EQ(table().size, 0u);
    setRow(0, 400, 100, 2);
    pass(); // back: a new connection, its counters a new baseline
    ASSERT_EQ(table().size, 1u);
    EXPECT_EQ(table().table[0].UID, 2);
    EXPECT_EQ(table().table[0].quantumSent, 0u);
    EXPECT_EQ(records(), (std::vector<std::pair<std::string, std::uint64_t>>{{"eth0//", 50}}));
}

TEST_F(Collector, takes_an_interface_made_again_under_its_name_for_a_new_connection_without_phantom_traffic)
{
    addRow("usb0", IF_TYPE_ETHERNET_CSMACD, 5, 3000000000u, 10, -1, 5);
    start();
    pass();
    setRow(0, 3000000700u, 10, 5);
    pass();
    setRow(0, 200, 0, 9); // unplugged and plugged in again: new index, counters from 0
    pass();
    setRow(0, 260, 0, 9);
    pass();
    ASSERT_EQ(table().size, 1u);
    EXPECT_EQ(table().table[0].UID, 2);
    EXPECT_EQ(table().table[0].quantumSent, 60u);
    EXPECT_EQ(records(), (std::vector<std::pair<std::string, std::uint64_t>>{{"usb0//", 700}}));
}

TEST_F(Collector, logs_each_connection_once_an_hour_and_raises_the_log_version)
{
    addRow("eth0", IF_TYPE_ETHERNET_CSMACD, 5, 0, 0, -1, 2);
    addRow("eth1", IF_TYPE_ETHERNET_CSMACD, 5, 0, 0, -1, 3);
    start();
    pass();
    setRow(0, 10, 0, 2);
    pass(3599); // into the next hour: eth0 had traffic, eth1 none
    EXPECT_EQ(table().logVersion, 1);
    EXPECT_EQ(records().size(), 1u);
    pass();
    EXPECT_EQ(table().logVersion, 1);
    collector->setStopped(true);
    collector->Start(); // runs AfterLoop only
    collector->WaitFor();
    EXPECT_EQ(table().size, 0u);
    EXPECT_EQ(table().active, 0);
    EXPECT_EQ(table().logVersion, 2);
}

TEST_F(Collector, publishes_ten_of_eleven_connections_those_with_traffic_first_and_cuts_names_to_255_bytes)
{
    const std::string longName(300, 'n');
    for (int i = 0; i < 11; ++i)
        addRow(i == 0 ? longName.c_str() : ("eth" + std::to_string(i)).c_str(), IF_TYPE_ETHERNET_CSMACD, 5, 0, 0, -1,
               static_cast<DWORD>(i + 1));
    start();
    pass();
    EXPECT_EQ(collector->holder().size(), 11);
    ASSERT_EQ(table().size, 10u);
    EXPECT_EQ(std::string(table().table[0].name), std::string(255, 'n'));
    EXPECT_STREQ(table().table[9].name, "eth9");
    setRow(1, 77, 0, 2);
    pass(); // a link with traffic comes first
    EXPECT_STREQ(table().table[0].name, "eth1");
    EXPECT_EQ(table().table[0].quantumSent, 77u);
    setRow(10, 5, 0, 11); // the one left out carries traffic now: it is shown, the latest first
    pass();
    EXPECT_STREQ(table().table[0].name, "eth10");
    EXPECT_STREQ(table().table[1].name, "eth1");
    EXPECT_EQ(std::string(table().table[2].name), std::string(255, 'n'));
    EXPECT_STREQ(table().table[9].name, "eth8"); // eth9 is left out
}

TEST_F(Collector, refuses_to_start_while_another_service_owns_the_table)
{
    start();
    try {
        StatisticsCollector second(nullptr, &logger, &buffer, ras);
        FAIL();
    } catch (const LTException& e) {
        EXPECT_STREQ(e.what(), "FileMapping already exists!");
    }
}

TEST_F(Collector, leaves_no_record_for_a_connection_that_ended_before_its_first_sample_nor_at_an_idle_stop)
{
    ras.connections = {{42, "isp"}};
    ras.statistics[42] = {ERROR_NO_CONNECTION, 0, 0};
    buffer.refresh();
    start();
    pass(); // created and ended in the same pass
    pass(); // still listed by the buffer: again
    EXPECT_EQ(table().size, 0u);
    EXPECT_EQ(table().logVersion, 2); // handed to the logger, though it wrote nothing
    EXPECT_TRUE(records().empty());
    ras.connections.clear();
    buffer.refresh();
    pass();
    collector->setStopped(true);
    collector->Start();
    collector->WaitFor();
    EXPECT_EQ(table().logVersion, 2); // no connection at the stop: unchanged
}

TEST_F(CollectorKernel, leaves_one_record_of_0_bytes_for_a_ppp_link_that_lived_a_single_pass)
{
    REQUIRE_PRIVATE_NETNS();
    const std::unique_ptr<RasProvider> ras = makeSystemRasProvider(); // of the private namespace
    std::ofstream(folder + "/ppp-myisp.pid") << "4242\nppp8\n";
    netns::PppLink ppp("ppp8");
    ASSERT_TRUE(ppp.ok());
    RasConBuffer buffer(*ras, nullptr);
    buffer.refresh();
    StatisticsCollector collector(nullptr, &logger, &buffer, *ras);
    collector.pass(); // created and sampled for its baseline in the same pass
    ASSERT_EQ(collector.table().size, 1u);

    ppp.remove();
    buffer.refresh(); // as the observer does on the link's notification
    collector.pass();
    EXPECT_EQ(collector.table().size, 0u);
    EXPECT_EQ(collector.table().logVersion, 1);
    EXPECT_EQ(recordsOf(folder + "/cn.log"),
              (std::vector<std::pair<std::string, std::uint64_t>>{{"myisp/5551234/joe", 0}}));
}
