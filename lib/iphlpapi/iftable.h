// The interface table behind GetIfTable: link names, types and states kept
// current from link-change notifications, counters read fresh on each call
// (RTM_GETSTATS), /proc/net/dev and sysfs where netlink cannot be used.
#pragma once

#include "iphlpapi.h"
#include "platform/netlink.h"

#include <string>
#include <string_view>
#include <vector>

namespace iftable {

using platform::netlink::Link;
using platform::netlink::LinkCounters;

// The row of one interface.
void fillRow(const Link& link, bool wireless, const LinkCounters& counters, MIB_IFROW& row);
DWORD rowType(std::uint16_t arphrdType, bool wireless);
DWORD operStatus(std::uint8_t operState, std::uint32_t flags);

struct ProcEntry {
    std::string name;
    LinkCounters counters;
};
// The interfaces of a /proc/net/dev text; false when it cannot be read.
bool parseProcNetDev(std::string_view text, std::vector<ProcEntry>& entries);

class InterfaceTable {
public:
    // forceProc: skip netlink (a kernel whose answers cannot be parsed).
    explicit InterfaceTable(bool forceProc = false);

    // Reads the current interfaces; false when nothing could be read.
    bool refresh();
    ULONG count() const { return static_cast<ULONG>(current.size()); }
    // Writes the rows of the last refresh, sorted by index when asked.
    void fill(MIB_IFTABLE& table, bool ordered) const;
    bool usingNetlink() const { return !forceProc; }

private:
    struct CachedLink {
        Link link;
        bool wireless = false;
    };
    struct Row {
        const CachedLink* link;
        LinkCounters counters;
    };

    bool refreshNetlink();
    bool refreshProc();
    bool reloadLinks();
    const CachedLink* findLink(std::uint32_t index) const;
    void applyChange(const Link& link, bool deleted);
    // The counters of that link in the last refresh's rows (zero if none).
    LinkCounters lastRead(std::uint32_t index) const;

    bool forceProc;
    platform::netlink::Socket changes;
    platform::netlink::Socket requests;
    std::vector<CachedLink> links; // sorted by index
    bool linksValid = false;
    std::vector<platform::netlink::LinkStats> stats;
    std::vector<CachedLink> procLinks;
    // Links deleted since the last refresh, with the last counters their
    // deletion carried; shown once more, down, so that a reader takes them.
    std::vector<CachedLink> departing;
    std::vector<CachedLink> departed; // those the current rows show
    std::vector<Row> current;
};

} // namespace iftable
