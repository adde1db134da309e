#include "platform/netlink.h"

#include <cerrno>
#include <cstring>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform::netlink {

namespace {

constexpr std::size_t bufferSize = 64 * 1024;

// NLMSG_OK without its signed/unsigned comparison.
bool messageFits(const nlmsghdr* message, int left)
{
    return left >= static_cast<int>(sizeof(nlmsghdr)) && message->nlmsg_len >= sizeof(nlmsghdr) &&
           message->nlmsg_len <= static_cast<unsigned>(left);
}

void copyCounters(const rtnl_link_stats64& s, LinkCounters& c)
{
    c.rxBytes = s.rx_bytes;
    c.txBytes = s.tx_bytes;
    c.rxPackets = s.rx_packets;
    c.txPackets = s.tx_packets;
    c.rxErrors = s.rx_errors;
    c.txErrors = s.tx_errors;
    c.rxDropped = s.rx_dropped;
    c.txDropped = s.tx_dropped;
    c.multicast = s.multicast;
}

// The attributes of a message body after its fixed header.
template <class OnAttribute>
bool forEachAttribute(const unsigned char* start, std::size_t length, OnAttribute&& onAttribute)
{
    auto* attribute = reinterpret_cast<const rtattr*>(start);
    int left = static_cast<int>(length);
    for (; RTA_OK(attribute, left); attribute = RTA_NEXT(attribute, left))
        onAttribute(attribute->rta_type & NLA_TYPE_MASK, RTA_DATA(attribute), RTA_PAYLOAD(attribute));
    return left >= 0;
}

bool parseStats(const nlmsghdr* message, LinkStats& stats)
{
    if (message->nlmsg_len < NLMSG_LENGTH(sizeof(if_stats_msg)))
        return false;
    const auto* header = static_cast<const if_stats_msg*>(NLMSG_DATA(message));
    stats.index = header->ifindex;
    bool found = false;
    const auto* attributes = reinterpret_cast<const unsigned char*>(header) + NLMSG_ALIGN(sizeof(if_stats_msg));
    forEachAttribute(attributes, message->nlmsg_len - NLMSG_LENGTH(NLMSG_ALIGN(sizeof(if_stats_msg))),
                     [&](unsigned type, const void* data, std::size_t size) {
                         if (type == IFLA_STATS_LINK_64 && size >= sizeof(rtnl_link_stats64)) {
                             rtnl_link_stats64 s;
                             std::memcpy(&s, data, sizeof s);
                             copyCounters(s, stats.counters);
                             found = true;
                         }
                     });
    return found;
}

} // namespace

bool parseLink(const void* body, std::size_t length, Link& link)
{
    if (length < sizeof(ifinfomsg))
        return false;
    ifinfomsg info;
    std::memcpy(&info, body, sizeof info);
    link = Link{};
    link.index = static_cast<std::uint32_t>(info.ifi_index);
    link.type = info.ifi_type;
    link.flags = info.ifi_flags;
    const auto* attributes = static_cast<const unsigned char*>(body) + NLMSG_ALIGN(sizeof(ifinfomsg));
    if (length < NLMSG_ALIGN(sizeof(ifinfomsg)))
        return true;
    return forEachAttribute(attributes, length - NLMSG_ALIGN(sizeof(ifinfomsg)),
                            [&](unsigned type, const void* data, std::size_t size) {
        const auto* bytes = static_cast<const char*>(data);
        switch (type) {
        case IFLA_IFNAME:
            link.name.assign(bytes, strnlen(bytes, size));
            break;
        case IFLA_OPERSTATE:
            if (size >= 1)
                link.operState = static_cast<std::uint8_t>(bytes[0]);
            break;
        case IFLA_MTU:
            if (size >= 4)
                std::memcpy(&link.mtu, data, 4);
            break;
        case IFLA_ADDRESS:
            link.addressLength = static_cast<std::uint8_t>(std::min<std::size_t>(size, link.address.size()));
            std::memcpy(link.address.data(), data, link.addressLength);
            break;
        case IFLA_STATS64:
            if (size >= sizeof(rtnl_link_stats64)) {
                rtnl_link_stats64 s;
                std::memcpy(&s, data, sizeof s);
                copyCounters(s, link.counters);
                link.hasCounters = true;
            }
            break;
        default:
            break;
        }
    });
}

Socket::Socket(unsigned groups)
    : fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | (groups ? SOCK_NONBLOCK : 0), NETLINK_ROUTE)),
      // Not zeroed: only the pages that answers reach become resident.
      buffer(std::make_unique_for_overwrite<unsigned char[]>(bufferSize))
{
    if (!fd) {
        error = errno;
        return;
    }
    sockaddr_nl local {};
    local.nl_family = AF_NETLINK;
    local.nl_groups = groups;
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        error = errno;
        fd.reset();
        return;
    }
}

bool Socket::request(std::uint16_t type, const void* payload, std::size_t payloadSize, bool dump)
{
    struct {
        nlmsghdr header;
        unsigned char payload[64];
    } message {};
    if (payloadSize > sizeof message.payload)
        return false;
    message.header.nlmsg_len = static_cast<std::uint32_t>(NLMSG_LENGTH(payloadSize));
    message.header.nlmsg_type = type;
    message.header.nlmsg_flags = static_cast<std::uint16_t>(NLM_F_REQUEST | (dump ? NLM_F_DUMP : 0));
    message.header.nlmsg_seq = ++sequence;
    std::memcpy(message.payload, payload, payloadSize);
    sockaddr_nl kernel {};
    kernel.nl_family = AF_NETLINK;
    ssize_t sent;
    do
        sent = ::sendto(fd.get(), &message, message.header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
                        sizeof kernel);
    while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        error = errno;
        return false;
    }
    return true;
}

ssize_t Socket::receiveOnce(int flags)
{
    ssize_t got;
    do
        got = ::recv(fd.get(), buffer.get(), bufferSize, flags);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        error = errno;
    return got;
}

template <class OnMessage> bool Socket::receive(OnMessage&& onMessage)
{
    for (;;) {
        const ssize_t got = receiveOnce(0);
        if (got <= 0)
            return false;
        int left = static_cast<int>(got);
        for (auto* message = reinterpret_cast<const nlmsghdr*>(buffer.get()); messageFits(message, left);
             message = NLMSG_NEXT(message, left)) {
            if (message->nlmsg_seq != sequence)
                continue; // an answer to an earlier, abandoned request
            if (message->nlmsg_type == NLMSG_DONE)
                return true;
            if (message->nlmsg_type == NLMSG_ERROR) {
                const auto* failure = static_cast<const nlmsgerr*>(NLMSG_DATA(message));
                error = -failure->error;
                return failure->error == 0;
            }
            if (!onMessage(message))
                return false;
            if (!(message->nlmsg_flags & NLM_F_MULTI))
                return true;
        }
    }
}

bool Socket::dumpLinks(std::vector<Link>& links)
{
    links.clear();
    ifinfomsg info {};
    info.ifi_family = AF_UNSPEC;
    if (!isOpen() || !request(RTM_GETLINK, &info, sizeof info, true))
        return false;
    return receive([&](const nlmsghdr* message) {
        if (message->nlmsg_type != RTM_NEWLINK)
            return true;
        Link link;
        if (!parseLink(NLMSG_DATA(message), message->nlmsg_len - NLMSG_LENGTH(0), link)) {
            error = EBADMSG;
            return false;
        }
        links.push_back(std::move(link));
        return true;
    });
}

bool Socket::getLink(std::uint32_t index, Link& link)
{
    ifinfomsg info {};
    info.ifi_family = AF_UNSPEC;
    info.ifi_index = static_cast<int>(index);
    if (!isOpen() || !request(RTM_GETLINK, &info, sizeof info, false))
        return false;
    bool found = false;
    const bool ok = receive([&](const nlmsghdr* message) {
        if (message->nlmsg_type != RTM_NEWLINK)
            return true;
        found = parseLink(NLMSG_DATA(message), message->nlmsg_len - NLMSG_LENGTH(0), link);
        if (!found)
            error = EBADMSG;
        return found;
    });
    return ok && found;
}

bool Socket::dumpStats(std::vector<LinkStats>& stats)
{
    stats.clear();
    if_stats_msg filter {};
    filter.family = AF_UNSPEC;
    filter.filter_mask = IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64);
    if (!isOpen() || !request(RTM_GETSTATS, &filter, sizeof filter, true))
        return false;
    return receive([&](const nlmsghdr* message) {
        if (message->nlmsg_type != RTM_NEWSTATS)
            return true;
        LinkStats entry;
        if (!parseStats(message, entry)) {
            error = EBADMSG;
            return false;
        }
        stats.push_back(entry);
        return true;
    });
}

Socket::Drain Socket::drain(const std::function<void(const Link&, bool deleted)>& onLink)
{
    Drain result = Drain::Nothing;
    for (;;) {
        const ssize_t got = receiveOnce(MSG_DONTWAIT);
        if (got < 0) {
            if (error == EAGAIN || error == EWOULDBLOCK)
                return result;
            return error == ENOBUFS ? Drain::Overflow : Drain::Failed;
        }
        if (got == 0)
            return result;
        int left = static_cast<int>(got);
        for (auto* message = reinterpret_cast<const nlmsghdr*>(buffer.get()); messageFits(message, left);
             message = NLMSG_NEXT(message, left)) {
            if (message->nlmsg_type != RTM_NEWLINK && message->nlmsg_type != RTM_DELLINK)
                continue;
            Link link;
            if (!parseLink(NLMSG_DATA(message), message->nlmsg_len - NLMSG_LENGTH(0), link))
                return Drain::Overflow; // unreadable: let the caller dump anew
            onLink(link, message->nlmsg_type == RTM_DELLINK);
            if (result == Drain::Nothing)
                result = Drain::Changed;
        }
    }
}

Socket::Drain Socket::drain()
{
    return drain([](const Link&, bool) {});
}

} // namespace platform::netlink
