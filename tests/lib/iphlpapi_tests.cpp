#include "common/lanstatcollector.h"
#include "iftable.h"
#include "netns.h"
#include "platform/netlink.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <net/if.h> // before linux/if.h, which then leaves glibc's names alone
#include <linux/if.h>
#include <linux/if_arp.h>

using iftable::operStatus;
using iftable::rowType;

TEST(IfTable, maps_link_types_and_states_to_row_codes)
{
    EXPECT_EQ(rowType(ARPHRD_ETHER, false), 6u);
    EXPECT_EQ(rowType(ARPHRD_ETHER, true), 71u);
    EXPECT_EQ(rowType(ARPHRD_LOOPBACK, false), 24u);
    EXPECT_EQ(rowType(ARPHRD_PPP, false), 23u);
    EXPECT_EQ(rowType(ARPHRD_CSLIP6, false), 28u);
    EXPECT_EQ(rowType(ARPHRD_NONE, false), 53u);
    EXPECT_EQ(rowType(ARPHRD_INFINIBAND, false), 1u);
    EXPECT_EQ(operStatus(IF_OPER_UP, 0), 5u);
    EXPECT_EQ(operStatus(IF_OPER_UNKNOWN, IFF_UP | IFF_RUNNING), 5u);
    EXPECT_EQ(operStatus(IF_OPER_UNKNOWN, IFF_UP), 2u);
    EXPECT_EQ(operStatus(IF_OPER_LOWERLAYERDOWN, IFF_UP), 2u);
    EXPECT_EQ(operStatus(IF_OPER_DOWN, 0), 0u);
}

TEST(IfTable, fills_a_row_with_the_low_32_bits_and_a_zero_counted_name)
{
    iftable::Link link;
    link.index = 7;
    link.name = "enp3s0";
    link.type = ARPHRD_ETHER;
    link.flags = IFF_UP;
    link.operState = IF_OPER_UP;
    iftable::LinkCounters counters;
    counters.rxBytes = 0x1'0000'0005ull;
    counters.txBytes = 0xFFFF'FFFFull;
    MIB_IFROW row;
    iftable::fillRow(link, false, counters, row);
    EXPECT_EQ(row.dwIndex, 7u);
    EXPECT_EQ(row.dwInOctets, 5u);
    EXPECT_EQ(row.dwOutOctets, 0xFFFFFFFFu);
    EXPECT_EQ(row.dwDescrLen, 7u);
    EXPECT_STREQ(reinterpret_cast<const char*>(row.bDescr), "enp3s0");
    EXPECT_EQ(row.wszName[0], u'e');
}

TEST(IfTable, parses_proc_net_dev_and_refuses_what_it_cannot_read)
{
    const std::string text =
        "Inter-|   Receive                                                |  Transmit\n"
        " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop fifo colls carrier compressed\n"
        "    lo: 4294967301     10    0    0    0     0          0         0      880      10    0    0    0     0       0          0\n"
        "enp3s0: 1000 2 0 1 0 0 0 3 2000 4 5 6 0 0 0 0\n";
    std::vector<iftable::ProcEntry> entries;
    ASSERT_TRUE(iftable::parseProcNetDev(text, entries));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "lo");
    EXPECT_EQ(entries[0].counters.rxBytes, 4294967301ull);
    EXPECT_EQ(entries[1].counters.multicast, 3u);
    EXPECT_EQ(entries[1].counters.txBytes, 2000u);
    EXPECT_EQ(entries[1].counters.txErrors, 5u);
    EXPECT_FALSE(iftable::parseProcNetDev("h1\nh2\neth0 1 2 3\n", entries));
    EXPECT_FALSE(iftable::parseProcNetDev("h1\nh2\neth0: 1 2 x\n", entries));
}

namespace {

std::uint64_t kernelCounter(const char* name, bool sent)
{
    platform::netlink::Socket socket;
    platform::netlink::Link link;
    if (!socket.getLink(::if_nametoindex(name), link))
        return ~0ull;
    return sent ? link.counters.txBytes : link.counters.rxBytes;
}

// A veth end reports its carrier a moment after both ends are set up.
bool refreshUntilListed(LanStatisticsCollector& c, const char* a, const char* b)
{
    for (int tries = 0; tries < 300; ++tries, ::usleep(10 * 1000))
        if (c.refresh() && c.find(a) >= 0 && c.find(b) >= 0)
            return true;
    return false;
}

} // namespace

TEST(IphlpapiKernel, shows_a_veth_pair_with_the_counters_the_kernel_reports)
{
    REQUIRE_PRIVATE_NETNS();
    ASSERT_TRUE(netns::sh("ip link add lt0 type veth peer name lt1 && ip link set lt0 up && ip link set lt1 up"));
    LanStatisticsCollector c(nullptr, true);
    ASSERT_TRUE(refreshUntilListed(c, "lt0", "lt1"));
    const int a = c.find("lt0"), b = c.find("lt1");
    EXPECT_EQ(c.find("lo"), -1);
    const DWORD sentBefore = c.getSentOctets(a), receivedBefore = c.getReceivedOctets(b);

    ASSERT_TRUE(netns::sendFrames("lt0", 50, 200));
    ASSERT_TRUE(c.refresh());
    EXPECT_EQ(c.getSentOctets(c.find("lt0")) - sentBefore, 10000u);
    EXPECT_EQ(c.getReceivedOctets(c.find("lt1")) - receivedBefore, 10000u);
    EXPECT_EQ(c.getSentOctets(c.find("lt0")), static_cast<DWORD>(kernelCounter("lt0", true)));
    EXPECT_EQ(c.getIfIndex(c.find("lt1")), ::if_nametoindex("lt1"));

    ASSERT_TRUE(netns::sh("ip link set lt1 down")); // the far end gone: lt0 loses its carrier
    bool gone = false;
    for (int tries = 0; tries < 300 && !gone; ++tries, ::usleep(10 * 1000))
        gone = c.refresh() && c.count() == 0;
    EXPECT_TRUE(gone);
    LanStatisticsCollector all(nullptr, false);
    ASSERT_TRUE(all.refresh());
    EXPECT_EQ(all.count(), 2);
    const DWORD sent = all.getSentOctets(all.find("lt0"));

    ASSERT_TRUE(netns::sh("ip link del lt0"));
    ASSERT_TRUE(all.refresh()); // once more, down, with their last counters
    ASSERT_EQ(all.count(), 2);
    EXPECT_FALSE(all.isOperational(0));
    EXPECT_EQ(all.getSentOctets(all.find("lt0")), sent);
    ASSERT_TRUE(all.refresh());
    EXPECT_EQ(all.count(), 0);
}

TEST(IphlpapiKernel, leaves_ppp_links_out_of_the_lan_list)
{
    REQUIRE_PRIVATE_NETNS();
    netns::PppLink ppp("ppp7");
    ASSERT_TRUE(ppp.ok());
    LanStatisticsCollector c(nullptr, false);
    ASSERT_TRUE(c.refresh());
    EXPECT_EQ(c.count(), 0);
}

TEST(IphlpapiKernel, reads_the_same_rows_from_proc_and_sysfs_as_from_netlink)
{
    REQUIRE_PRIVATE_NETNS();
    ASSERT_TRUE(netns::sh("ip link add lt0 type veth peer name lt1 && ip link set lt0 up"));
    netns::PppLink ppp("ppp7");
    ASSERT_TRUE(netns::sendFrames("lt0", 3, 100));
    auto rowsOf = [](bool proc) {
        iftable::InterfaceTable table(proc);
        EXPECT_TRUE(table.refresh());
        std::vector<unsigned char> block(ifTableSize(table.count()));
        auto* t = reinterpret_cast<MIB_IFTABLE*>(block.data());
        table.fill(*t, true);
        std::vector<std::tuple<std::string, DWORD, DWORD, DWORD, DWORD>> rows;
        for (DWORD i = 0; i < t->dwNumEntries; ++i)
            rows.emplace_back(reinterpret_cast<const char*>(t->table[i].bDescr), t->table[i].dwIndex,
                              t->table[i].dwType, t->table[i].dwOperStatus, t->table[i].dwOutOctets);
        return rows;
    };
    const auto fromNetlink = rowsOf(false);
    EXPECT_EQ(fromNetlink.size(), 4u);
    EXPECT_EQ(rowsOf(true), fromNetlink);
}
