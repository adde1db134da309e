#include "netns.h"
#include "platform/event.h"
#include "platform/ras.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <fstream>
#include <net/if.h> // before linux/if.h, which then leaves glibc's names alone
#include <linux/if.h>
#include <vector>

using platform::ras::parsePeerEntry;

namespace {

std::string chatScript(const std::string& path)
{
    return path == "/etc/chatscripts/isp" ? "ABORT BUSY\n'' ATZ\nOK ATDT*99#\nCONNECT ''\n" : "";
}

} // namespace

TEST(PeerEntry, takes_the_user_and_the_number_dialled_in_the_entry_or_its_chat_script)
{
    const auto inEntry = parsePeerEntry("# my ISP\nuser \"joe smith\"\nconnect 'chat -v \"\" ATDP0190-555'\n", chatScript);
    EXPECT_EQ(inEntry.user, "joe smith");
    EXPECT_EQ(inEntry.phoneNumber, "0190-555");
    const auto viaScript = parsePeerEntry("user joe\nconnect \"/usr/sbin/chat -v -f /etc/chatscripts/isp\"\n", chatScript);
    EXPECT_EQ(viaScript.user, "joe");
    EXPECT_EQ(viaScript.phoneNumber, "*99#");
    const auto bare = parsePeerEntry("#user ghost\nnoauth\n", chatScript);
    EXPECT_EQ(bare.user, "");
    EXPECT_EQ(bare.phoneNumber, "");
}

TEST(PidFile, names_the_interface_only_once_pppd_wrote_its_second_line)
{
    EXPECT_TRUE(platform::ras::pidFileNames("1234\nppp0\n", "ppp0"));
    EXPECT_FALSE(platform::ras::pidFileNames("1234\n", "ppp0"));
    EXPECT_FALSE(platform::ras::pidFileNames("1234\nppp1\n", "ppp0"));
}

namespace {

// A run folder with pppd's pid file and a peers folder with two entries.
struct PppFolders {
    std::string run = testenv::freshFolder("run");
    std::string peers = testenv::freshFolder("peers");
    testenv::ScopedEnv runEnv{"LINKTALLY_PPP_RUNDIR", run.c_str()};
    testenv::ScopedEnv peersEnv{"LINKTALLY_PPP_PEERS", peers.c_str()};
    PppFolders()
    {
        std::ofstream(peers + "/myisp") << "user joe\nconnect 'chat -v \"\" ATDT5551234'\n";
        std::ofstream(peers + "/backup") << "user ann\n";
    }
};

std::vector<RASCONN> enumerate(RasProvider& ras, DWORD& result)
{
    std::vector<RASCONN> connections(1);
    connections[0].dwSize = sizeof(RASCONN);
    DWORD bytes = sizeof(RASCONN), count = 0;
    result = RasEnumConnectionsA(ras, connections.data(), &bytes, &count);
    if (result == ERROR_BUFFER_TOO_SMALL) {
        connections.resize(bytes / sizeof(RASCONN));
        connections[0].dwSize = sizeof(RASCONN);
        result = RasEnumConnectionsA(ras, connections.data(), &bytes, &count);
    }
    connections.resize(result == 0 ? count : 0);
    return connections;
}

} // namespace

TEST(RasLinux, enumerates_the_phone_book_in_name_order_and_reads_its_entries)
{
    PppFolders folders;
    const std::unique_ptr<RasProvider> ras = makeSystemRasProvider();
    DWORD bytes = 0, count = 0;
    EXPECT_EQ(RasEnumEntriesA(*ras, nullptr, nullptr, nullptr, &bytes, &count), ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(bytes, 2 * sizeof(RASENTRYNAMEA));
    std::vector<RASENTRYNAMEA> entries(2);
    entries[0].dwSize = sizeof(RASENTRYNAMEA);
    ASSERT_EQ(RasEnumEntriesA(*ras, nullptr, nullptr, entries.data(), &bytes, &count), 0u);
    EXPECT_STREQ(entries[0].szEntryName, "backup");
    EXPECT_STREQ(entries[1].szEntryName, "myisp");

    RASDIALPARAMSA params {};
    params.dwSize = sizeof params;
    platform::ras::copyField(params.szEntryName, sizeof params.szEntryName, "myisp");
    BOOL password = 1;
    ASSERT_EQ(RasGetEntryDialParamsA(*ras, folders.peers.c_str(), &params, &password), 0u);
    EXPECT_STREQ(params.szUserName, "joe");
    EXPECT_STREQ(params.szPhoneNumber, "5551234");
    platform::ras::copyField(params.szEntryName, sizeof params.szEntryName, "nobody");
    EXPECT_EQ(RasGetEntryDialParamsA(*ras, nullptr, &params, &password), ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);

    DWORD size = 0;
    EXPECT_EQ(RasGetEntryPropertiesA(*ras, nullptr, "myisp", nullptr, &size, nullptr, nullptr),
              ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 2088u);
    RASENTRYA entry {};
    entry.dwSize = sizeof entry;
    ASSERT_EQ(RasGetEntryPropertiesA(*ras, nullptr, "myisp", &entry, &size, nullptr, nullptr), 0u);
    EXPECT_STREQ(entry.szLocalPhoneNumber, "5551234");
    EXPECT_EQ(RasGetEntryPropertiesA(*ras, nullptr, "../myisp", &entry, &size, nullptr, nullptr),
              ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
}

TEST(RasLinuxKernel, sees_a_ppp_link_as_a_dial_up_connection_named_by_pppd)
{
    REQUIRE_PRIVATE_NETNS();
    const std::unique_ptr<RasProvider> ras = makeSystemRasProvider(); // of the private namespace
    PppFolders folders;
    ASSERT_TRUE(netns::sh("ip link add lt0 type veth peer name lt1")); // not dial-up
    netns::PppLink ppp("ppp3");
    ASSERT_TRUE(ppp.ok());
    DWORD result = 0;
    std::vector<RASCONN> connections = enumerate(*ras, result);
    ASSERT_EQ(result, 0u);
    ASSERT_EQ(connections.size(), 1u);
    EXPECT_STREQ(connections[0].szEntryName, "ppp3"); // no pid file yet

    std::ofstream(folders.run + "/ppp-myisp.pid") << "4242\nppp3\n";
    connections = enumerate(*ras, result);
    ASSERT_EQ(connections.size(), 1u);
    EXPECT_STREQ(connections[0].szEntryName, "myisp");
    EXPECT_STREQ(connections[0].szDeviceType, "PPP");
    EXPECT_STREQ(connections[0].szDeviceName, "ppp3");
    EXPECT_STREQ(connections[0].szPhonebook, folders.peers.c_str());
    const HRASCONN handle = connections[0].hrasconn;
    EXPECT_EQ(handle, ::if_nametoindex("ppp3"));

    RAS_STATS stats {};
    stats.dwSize = sizeof stats;
    ASSERT_EQ(RasGetConnectionStatistics(*ras, handle, &stats), 0u);
    const DWORD before = stats.dwBytesRcved;
    ASSERT_TRUE(ppp.receive(300));
    ASSERT_EQ(RasGetConnectionStatistics(*ras, handle, &stats), 0u);
    EXPECT_EQ(stats.dwBytesRcved - before, 300u);

    ppp.remove();
    EXPECT_EQ(RasGetConnectionStatistics(*ras, handle, &stats), ERROR_NO_CONNECTION);
    EXPECT_EQ(RasGetConnectionStatistics(*ras, ::if_nametoindex("lt0"), &stats), ERROR_NO_CONNECTION);
    EXPECT_TRUE(enumerate(*ras, result).empty());
}

TEST(RasLinuxKernel, lists_a_ppp_link_only_once_it_is_up_and_ends_it_when_it_is_taken_down)
{
    REQUIRE_PRIVATE_NETNS();
    const std::unique_ptr<RasProvider> ras = makeSystemRasProvider();
    PppFolders folders;
    netns::PppLink ppp("ppp3", false); // pppd made the unit; the link is not up yet
    ASSERT_TRUE(ppp.ok());
    std::ofstream(folders.run + "/ppp-myisp.pid") << "4242\n";
    DWORD result = 0;
    EXPECT_TRUE(enumerate(*ras, result).empty());
    EXPECT_EQ(result, 0u);
    std::ofstream(folders.run + "/ppp-myisp.pid") << "4242\nppp3\n";
    EXPECT_TRUE(enumerate(*ras, result).empty()); // named now, but still down
    RAS_STATS stats {};
    stats.dwSize = sizeof stats;
    EXPECT_EQ(RasGetConnectionStatistics(*ras, ::if_nametoindex("ppp3"), &stats), ERROR_NO_CONNECTION);

    ASSERT_TRUE(ppp.setUp(true));
    std::vector<RASCONN> connections = enumerate(*ras, result);
    ASSERT_EQ(connections.size(), 1u);
    EXPECT_STREQ(connections[0].szEntryName, "myisp");
    const HRASCONN handle = connections[0].hrasconn;
    EXPECT_EQ(RasGetConnectionStatistics(*ras, handle, &stats), 0u);

    ASSERT_TRUE(ppp.setUp(false)); // hung up, the unit still there
    EXPECT_EQ(RasGetConnectionStatistics(*ras, handle, &stats), ERROR_NO_CONNECTION);
    EXPECT_TRUE(enumerate(*ras, result).empty());
    EXPECT_EQ(result, 0u);
}

TEST(RasLinux, counts_a_link_as_up_by_its_operational_state_or_else_by_its_flags)
{
    using platform::ras::linkIsUp;
    EXPECT_TRUE(linkIsUp(IF_OPER_UP, 0));
    EXPECT_TRUE(linkIsUp(IF_OPER_UNKNOWN, IFF_UP | IFF_RUNNING));
    EXPECT_FALSE(linkIsUp(IF_OPER_UNKNOWN, IFF_UP));
    EXPECT_FALSE(linkIsUp(IF_OPER_UNKNOWN, IFF_RUNNING));
    EXPECT_FALSE(linkIsUp(IF_OPER_DORMANT, IFF_UP | IFF_RUNNING));
    EXPECT_FALSE(linkIsUp(IF_OPER_DOWN, IFF_UP | IFF_RUNNING));
    EXPECT_FALSE(linkIsUp(IF_OPER_LOWERLAYERDOWN, IFF_UP));
}

TEST(RasLinuxKernel, signals_the_registered_event_when_a_link_comes_or_goes)
{
    REQUIRE_PRIVATE_NETNS();
    const std::unique_ptr<RasProvider> ras = makeSystemRasProvider();
    platform::Event event;
    ASSERT_EQ(RasConnectionNotificationA(*ras, ALL_RAS_CONNECTIONS, event, RASCN_Connection | RASCN_Disconnection),
              0u);
    EXPECT_EQ(event.waitFor(50), platform::WaitResult::Timeout);
    {
        netns::PppLink ppp("ppp4");
        ASSERT_TRUE(ppp.ok());
        EXPECT_EQ(event.waitFor(2000), platform::WaitResult::Signaled);
    }
    EXPECT_EQ(event.waitFor(2000), platform::WaitResult::Signaled);
}
