#include "iftable.h"

#include "platform/files.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <linux/if.h>
#include <linux/if_arp.h>
#include <linux/rtnetlink.h>
#include <sys/stat.h>

namespace iftable {

namespace {

DWORD low32(std::uint64_t value) { return static_cast<DWORD>(value); }

bool isWireless(const std::string& name)
{
    struct stat st {};
    const std::string base = "/sys/class/net/" + name;
    return ::stat((base + "/wireless").c_str(), &st) == 0 || ::stat((base + "/phy80211").c_str(), &st) == 0;
}

std::string readSysfs(const std::string& name, const char* attribute)
{
    const std::string path = "/sys/class/net/" + name + "/" + attribute;
    const std::string text = platform::readWholeFile(path).value_or(std::string());
    return text.substr(0, text.find('\n'));
}

std::uint64_t toNumber(std::string_view text, int base = 10)
{
    if (base == 16 && text.starts_with("0x"))
        text.remove_prefix(2);
    std::uint64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value, base);
    return value;
}

std::uint8_t operStateFromText(const std::string& text)
{
    static constexpr std::pair<const char*, std::uint8_t> states[] = {
        {"up", IF_OPER_UP},           {"down", IF_OPER_DOWN},       {"dormant", IF_OPER_DORMANT},
        {"testing", IF_OPER_TESTING}, {"notpresent", IF_OPER_NOTPRESENT}, {"lowerlayerdown", IF_OPER_LOWERLAYERDOWN},
    };
    for (const auto& [name, state] : states)
        if (text == name)
            return state;
    return IF_OPER_UNKNOWN;
}

} // namespace

DWORD rowType(std::uint16_t arphrdType, bool wireless)
{
    switch (arphrdType) {
    case ARPHRD_ETHER:
        return wireless ? IF_TYPE_IEEE80211 : IF_TYPE_ETHERNET_CSMACD;
    case ARPHRD_LOOPBACK:
        return IF_TYPE_SOFTWARE_LOOPBACK;
    case ARPHRD_PPP:
        return IF_TYPE_PPP;
    case ARPHRD_SLIP:
    case ARPHRD_CSLIP:
    case ARPHRD_SLIP6:
    case ARPHRD_CSLIP6:
        return IF_TYPE_SLIP;
    case ARPHRD_IEEE80211:
    case ARPHRD_IEEE80211_PRISM:
    case ARPHRD_IEEE80211_RADIOTAP:
        return IF_TYPE_IEEE80211;
    case ARPHRD_NONE: // tun and WireGuard: no link layer
    case ARPHRD_TUNNEL:
    case ARPHRD_TUNNEL6:
    case ARPHRD_SIT:
    case ARPHRD_IPGRE:
        return IF_TYPE_PROP_VIRTUAL;
    default:
        return IF_TYPE_OTHER;
    }
}

DWORD operStatus(std::uint8_t operState, std::uint32_t flags)
{
    if (operState == IF_OPER_UP ||
        (operState == IF_OPER_UNKNOWN && (flags & IFF_UP) && (flags & IFF_RUNNING)))
        return IF_OPER_STATUS_OPERATIONAL;
    return (flags & IFF_UP) ? IF_OPER_STATUS_DISCONNECTED : IF_OPER_STATUS_NON_OPERATIONAL;
}

void fillRow(const Link& link, bool wireless, const LinkCounters& counters, MIB_IFROW& row)
{
    std::memset(&row, 0, sizeof row);
    const std::size_t nameLength = std::min<std::size_t>(link.name.size(), MAXLEN_IFDESCR - 1);
    for (std::size_t i = 0; i < nameLength; ++i)
        row.wszName[i] = static_cast<unsigned char>(link.name[i]);
    row.dwIndex = link.index;
    row.dwType = rowType(link.type, wireless);
    row.dwMtu = link.mtu;
    row.dwPhysAddrLen = link.addressLength;
    std::memcpy(row.bPhysAddr, link.address.data(), link.addressLength);
    row.dwAdminStatus = (link.flags & IFF_UP) ? 1 : 2;
    row.dwOperStatus = operStatus(link.operState, link.flags);
    row.dwInOctets = low32(counters.rxBytes);
    row.dwInUcastPkts = low32(counters.rxPackets - std::min(counters.rxPackets, counters.multicast));
    row.dwInNUcastPkts = low32(counters.multicast);
    row.dwInDiscards = low32(counters.rxDropped);
    row.dwInErrors = low32(counters.rxErrors);
    row.dwOutOctets = low32(counters.txBytes);
    row.dwOutUcastPkts = low32(counters.txPackets);
    row.dwOutDiscards = low32(counters.txDropped);
    row.dwOutErrors = low32(counters.txErrors);
    // The length counts the terminating zero, so that a name compared over
    // dwDescrLen bytes cannot match a longer one.
    std::memcpy(row.bDescr, link.name.data(), nameLength);
    row.dwDescrLen = static_cast<DWORD>(nameLength + 1);
}

bool parseProcNetDev(std::string_view text, std::vector<ProcEntry>& entries)
{
    entries.clear();
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (++lineNumber <= 2 || line.find_first_not_of(' ') == std::string_view::npos)
            continue; // the two header lines
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return false;
        std::string_view name = line.substr(0, colon);
        name.remove_prefix(std::min(name.find_first_not_of(' '), name.size()));
        std::uint64_t fields[16] = {};
        std::string_view rest = line.substr(colon + 1);
        for (std::uint64_t& field : fields) {
            rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
            const auto [next, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), field);
            if (ec != std::errc())
                return false;
            rest.remove_prefix(static_cast<std::size_t>(next - rest.data()));
        }
        ProcEntry entry;
        entry.name = std::string(name);
        entry.counters.rxBytes = fields[0];
        entry.counters.rxPackets = fields[1];
        entry.counters.rxErrors = fields[2];
        entry.counters.rxDropped = fields[3];
        entry.counters.multicast = fields[7];
        entry.counters.txBytes = fields[8];
        entry.counters.txPackets = fields[9];
        entry.counters.txErrors = fields[10];
        entry.counters.txDropped = fields[11];
        entries.push_back(std::move(entry));
    }
    return lineNumber >= 2;
}

InterfaceTable::InterfaceTable(bool forceProc)
    // Subscribed before the first dump, so that no change falls between them.
    : forceProc(forceProc), changes(forceProc ? 0 : RTMGRP_LINK), requests()
{
}

bool InterfaceTable::refresh()
{
    if (!forceProc && refreshNetlink())
        return true;
    return refreshProc();
}

const InterfaceTable::CachedLink* InterfaceTable::findLink(std::uint32_t index) const
{
    const auto found = std::lower_bound(links.begin(), links.end(), index,
                                        [](const CachedLink& l, std::uint32_t i) { return l.link.index < i; });
    return found != links.end() && found->link.index == index ? &*found : nullptr;
}

namespace {

// Counters only grow while a link lives, but a dying link's may not: a veth
// counts what it received in its peer, which may be gone first.
LinkCounters laterOf(const LinkCounters& a, const LinkCounters& b)
{
    LinkCounters later;
    later.rxBytes = std::max(a.rxBytes, b.rxBytes);
    later.txBytes = std::max(a.txBytes, b.txBytes);
    later.rxPackets = std::max(a.rxPackets, b.rxPackets);
    later.txPackets = std::max(a.txPackets, b.txPackets);
    later.rxErrors = std::max(a.rxErrors, b.rxErrors);
    later.txErrors = std::max(a.txErrors, b.txErrors);
    later.rxDropped = std::max(a.rxDropped, b.rxDropped);
    later.txDropped = std::max(a.txDropped, b.txDropped);
    later.multicast = std::max(a.multicast, b.multicast);
    return later;
}

} // namespace

LinkCounters InterfaceTable::lastRead(std::uint32_t index) const
{
    for (const Row& row : current)
        if (row.link->link.index == index)
            return row.counters;
    return {};
}

void InterfaceTable::applyChange(const Link& link, bool deleted)
{
    const auto at = std::lower_bound(links.begin(), links.end(), link.index,
                                     [](const CachedLink& l, std::uint32_t i) { return l.link.index < i; });
    const bool present = at != links.end() && at->link.index == link.index;
    if (deleted) {
        if (present && link.hasCounters) {
            CachedLink last = *at;
            last.link.counters = laterOf(link.counters, lastRead(link.index));
            last.link.operState = IF_OPER_DOWN;
            last.link.flags &= ~static_cast<std::uint32_t>(IFF_UP | IFF_RUNNING);
            departing.push_back(std::move(last));
        }
        if (present)
            links.erase(at);
        return;
    }
    CachedLink cached{link, isWireless(link.name)};
    if (present)
        *at = std::move(cached);
    else
        links.insert(at, std::move(cached));
}

bool InterfaceTable::reloadLinks()
{
    std::vector<Link> fresh;
    linksValid = requests.dumpLinks(fresh);
    if (!linksValid)
        return false;
    links.clear();
    for (Link& link : fresh) {
        const bool wireless = isWireless(link.name);
        links.push_back(CachedLink{std::move(link), wireless});
    }
    std::sort(links.begin(), links.end(),
              [](const CachedLink& a, const CachedLink& b) { return a.link.index < b.link.index; });
    return true;
}

bool InterfaceTable::refreshNetlink()
{
    if (!changes.isOpen() || !requests.isOpen())
        return false;
    using Drain = platform::netlink::Socket::Drain;
    const Drain drained = changes.drain([this](const Link& link, bool deleted) { applyChange(link, deleted); });
    if (drained == Drain::Overflow || drained == Drain::Failed)
        linksValid = false;
    if (!linksValid && !reloadLinks())
        return false;
    if (!requests.dumpStats(stats)) {
        // Kernels before RTM_GETSTATS: the link dump carries the counters.
        if (!reloadLinks())
            return false;
        current.clear();
        for (const CachedLink& cached : links)
            if (cached.link.hasCounters)
                current.push_back(Row{&cached, cached.link.counters});
        return true;
    }
    // A link the cache does not know yet appeared after the last notification
    // was read: load them all again.
    const bool allKnown = std::all_of(stats.begin(), stats.end(),
                                      [this](const auto& s) { return findLink(s.index) != nullptr; });
    if (!allKnown && !reloadLinks())
        return false;
    current.clear();
    for (const auto& s : stats)
        if (const CachedLink* cached = findLink(s.index))
            current.push_back(Row{cached, s.counters});
    departed = std::move(departing);
    departing.clear();
    for (const CachedLink& last : departed)
        if (!findLink(last.link.index))
            current.push_back(Row{&last, last.link.counters});
    return true;
}

bool InterfaceTable::refreshProc()
{
    const std::optional<std::string> text = platform::readWholeFile("/proc/net/dev");
    std::vector<ProcEntry> entries;
    if (!text || !parseProcNetDev(*text, entries))
        return false;
    procLinks.clear();
    procLinks.reserve(entries.size());
    for (const ProcEntry& entry : entries) {
        CachedLink cached;
        cached.link.name = entry.name;
        cached.link.index = static_cast<std::uint32_t>(toNumber(readSysfs(entry.name, "ifindex")));
        cached.link.type = static_cast<std::uint16_t>(toNumber(readSysfs(entry.name, "type")));
        cached.link.flags = static_cast<std::uint32_t>(toNumber(readSysfs(entry.name, "flags"), 16));
        // sysfs keeps IFF_RUNNING out of "flags"; the carrier tells it.
        if (readSysfs(entry.name, "carrier") == "1")
            cached.link.flags |= IFF_RUNNING;
        cached.link.operState = operStateFromText(readSysfs(entry.name, "operstate"));
        cached.link.mtu = static_cast<std::uint32_t>(toNumber(readSysfs(entry.name, "mtu")));
        cached.link.counters = entry.counters;
        cached.wireless = isWireless(entry.name);
        procLinks.push_back(std::move(cached));
    }
    current.clear();
    for (const CachedLink& cached : procLinks)
        current.push_back(Row{&cached, cached.link.counters});
    return true;
}

void InterfaceTable::fill(MIB_IFTABLE& table, bool ordered) const
{
    std::vector<const Row*> rows;
    rows.reserve(current.size());
    for (const Row& row : current)
        rows.push_back(&row);
    if (ordered)
        std::sort(rows.begin(), rows.end(),
                  [](const Row* a, const Row* b) { return a->link->link.index < b->link->link.index; });
    table.dwNumEntries = static_cast<DWORD>(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        fillRow(rows[i]->link->link, rows[i]->link->wireless, rows[i]->counters, table.table[i]);
}

} // namespace iftable
