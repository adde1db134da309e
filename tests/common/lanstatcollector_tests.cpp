#include "common/dbglogger.h"
#include "common/lanstatcollector.h"
#include "fakes/fake_table.h"
#include "platform/dynlib.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <filesystem>


namespace {

std::vector<std::string> namesOf(const LanStatisticsCollector& c)
{
    std::vector<std::string> names;
    for (int i = 0; i < c.count(); ++i)
        names.push_back(c.getName(i));
    return names;
}

} // namespace

TEST_F(FakeTable, lists_lan_rows_only_and_with_onlyOperational_only_operational_ones)
{
    addRow("lo", IF_TYPE_SOFTWARE_LOOPBACK, 5);
    addRow("eth0", IF_TYPE_ETHERNET_CSMACD, 5, 1000, 2000);
    addRow("ppp0", IF_TYPE_PPP, 5);
    addRow("sl0", IF_TYPE_SLIP, 5);
    addRow("eth1", IF_TYPE_ETHERNET_CSMACD, 2); // cable pulled
    addRow("wlan0", IF_TYPE_IEEE80211, 5, 7, 8);
    addRow("wg0", IF_TYPE_PROP_VIRTUAL, 5);

    LanStatisticsCollector all(nullptr, false);
    ASSERT_TRUE(all.refresh());
    EXPECT_EQ(namesOf(all), (std::vector<std::string>{"eth0", "eth1", "wlan0", "wg0"}));

    LanStatisticsCollector operational(nullptr, true);
    ASSERT_TRUE(operational.refresh());
    EXPECT_EQ(namesOf(operational), (std::vector<std::string>{"eth0", "wlan0", "wg0"}));
    EXPECT_EQ(operational.getSentOctets(1), 7u);
    EXPECT_EQ(operational.getReceivedOctets(1), 8u);
    EXPECT_EQ(operational.find("wlan0"), 1);
    EXPECT_EQ(operational.find("eth1"), -1);
    EXPECT_EQ(operational.find("eth"), -1);
    EXPECT_EQ(operational.find("eth00"), -1);
    EXPECT_THROW(operational.getName(3), std::out_of_range);
}

TEST_F(FakeTable, reads_once_more_only_when_the_table_needs_a_larger_buffer)
{
    addRow("eth0", IF_TYPE_ETHERNET_CSMACD, 5);
    LanStatisticsCollector c(nullptr, true);
    EXPECT_TRUE(c.refresh());
    EXPECT_EQ(calls(), 2); // size query, then the read
    EXPECT_TRUE(c.refresh());
    EXPECT_EQ(calls(), 3);

    script(-1, 1); // a second interface appears: enlarge once
    EXPECT_TRUE(c.refresh());
    EXPECT_EQ(calls(), 5);
    EXPECT_EQ(c.count(), 2);

    script(-1, 1); // grows again between the size query and the read
    script(-1, 1);
    EXPECT_FALSE(c.refresh());
    EXPECT_EQ(c.count(), 0);
    EXPECT_TRUE(c.refresh()); // the next refresh enlarges again
    EXPECT_EQ(c.count(), 4);
}

TEST_F(FakeTable, lists_nothing_after_a_failed_read_even_the_very_first)
{
    addRow("eth0", IF_TYPE_ETHERNET_CSMACD, 5);
    LanStatisticsCollector c(nullptr, true);
    script(ERROR_GEN_FAILURE); // before any buffer exists
    EXPECT_FALSE(c.refresh());
    EXPECT_EQ(c.count(), 0);
    EXPECT_TRUE(c.refresh());
    EXPECT_EQ(c.count(), 1);
    script(ERROR_GEN_FAILURE);
    EXPECT_FALSE(c.refresh());
    EXPECT_EQ(c.count(), 0);
}

TEST_F(FakeTable, takes_descriptions_with_or_without_a_terminating_zero)
{
    addRow("eth0", IF_TYPE_ETHERNET_CSMACD, 5, 0, 0, 4);  // exactly 4 bytes, no zero counted
    addRow("eth1", IF_TYPE_ETHERNET_CSMACD, 5, 0, 0, 3);  // cut short: "eth"
    addRow("ab\0cd", IF_TYPE_ETHERNET_CSMACD, 5, 0, 0, 5);
    MIB_IFROW full {};
    std::memset(full.bDescr, 'x', sizeof full.bDescr); // 256 bytes, no zero anywhere
    full.dwDescrLen = 256;
    full.dwType = IF_TYPE_ETHERNET_CSMACD;
    full.dwOperStatus = 5;
    call<void (*)(const MIB_IFROW*)>("fake_addRow")(&full);

    LanStatisticsCollector c(nullptr, true);
    ASSERT_TRUE(c.refresh());
    EXPECT_EQ(c.getName(0), "eth0");
    EXPECT_EQ(c.getName(1), "eth");
    EXPECT_EQ(c.getName(2), "ab");
    EXPECT_EQ(c.getName(3), std::string(256, 'x'));
    EXPECT_EQ(c.find("eth0"), 0);
    EXPECT_EQ(c.find("eth"), 1);
}

TEST(LanStatisticsCollector, names_the_library_or_the_call_it_cannot_have)
{
    {
        testenv::ScopedEnv missing("LINKTALLY_IPHLPAPI", "/nonexistent/libiphlpapi.so");
        try {
            LanStatisticsCollector c(nullptr, true);
            FAIL();
        } catch (const LTException& e) {
            EXPECT_STREQ(e.what(), "LanStatisticsCollector initialization failed! Can't load iphlpapi.dll Error code: 2.");
        }
    }
    testenv::ScopedEnv other("LINKTALLY_IPHLPAPI", "libm.so.6");
    try {
        LanStatisticsCollector c(nullptr, true);
        FAIL();
    } catch (const LTException& e) {
        EXPECT_STREQ(e.what(), "LanStatisticsCollector initialization failed! Can't obtain GetIfTable API-call "
                               "address. Error code: 2.");
    }
}

TEST(LibraryLookup, prefers_the_packages_private_folder_then_the_build_tree_then_the_programs_own_folder)
{
    const std::string root = testenv::freshFolder("layout");
    const std::string program = root + "/bin/ltsrvc"; // only its folder matters
    const std::vector<std::string> places = {root + "/bin/../lib/linktally/libiphlpapi.so",
                                             root + "/bin/../lib/libiphlpapi.so", root + "/bin/libiphlpapi.so"};
    std::filesystem::create_directories(root + "/lib/linktally");
    std::filesystem::create_directories(root + "/bin");
    for (const std::string& place : places)
        testenv::writeBytes(place, {0x7f});
    for (const std::string& place : places) {
        EXPECT_EQ(platform::libraryBesideProgram(program, "libiphlpapi.so"), place);
        std::filesystem::remove(place);
    }
    // Left to dlopen: nothing beside the program, or a path of its own.
    EXPECT_EQ(platform::libraryBesideProgram(program, "libiphlpapi.so"), "libiphlpapi.so");
    EXPECT_EQ(platform::libraryBesideProgram(program, "/opt/other/libiphlpapi.so"), "/opt/other/libiphlpapi.so");
}
