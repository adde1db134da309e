// Route netlink: the interfaces of this network namespace with their types,
// states and byte counters, and link-change notifications.
#pragma once

#include "platform/files.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::netlink {

struct LinkCounters {
    std::uint64_t rxBytes = 0;
    std::uint64_t txBytes = 0;
    std::uint64_t rxPackets = 0;
    std::uint64_t txPackets = 0;
    std::uint64_t rxErrors = 0;
    std::uint64_t txErrors = 0;
    std::uint64_t rxDropped = 0;
    std::uint64_t txDropped = 0;
    std::uint64_t multicast = 0;
};

struct Link {
    std::uint32_t index = 0;
    std::string name;
    std::uint16_t type = 0;       // ARPHRD_*
    std::uint32_t flags = 0;      // IFF_*
    std::uint8_t operState = 0;   // IF_OPER_*
    std::uint32_t mtu = 0;
    std::array<std::uint8_t, 8> address{};
    std::uint8_t addressLength = 0;
    bool hasCounters = false;     // the message carried IFLA_STATS64
    LinkCounters counters;
};

struct LinkStats {
    std::uint32_t index = 0;
    LinkCounters counters;
};

// One NETLINK_ROUTE socket. Requests and notifications need separate
// sockets, so that a dump's answer never mixes with a notification.
class Socket {
public:
    // groups: multicast groups to join (RTMGRP_LINK for notifications).
    explicit Socket(unsigned groups = 0);
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool isOpen() const { return static_cast<bool>(fd); }
    int handle() const { return fd.get(); }
    // The errno of the last failure.
    int lastError() const { return error; }

    // Every link. False when the kernel's answer could not be had or parsed.
    bool dumpLinks(std::vector<Link>& links);
    // One link; false with lastError() ENODEV when it does not exist.
    bool getLink(std::uint32_t index, Link& link);
    // The 64-bit counters of every link (RTM_GETSTATS): no names, but cheap.
    bool dumpStats(std::vector<LinkStats>& stats);

    enum class Drain { Nothing, Changed, Overflow, Failed };
    // Reads the pending notifications without waiting. Changed: at least one
    // link message arrived (each is handed to onLink, deleted or not);
    // Overflow: some were lost, so only a new dump tells the truth.
    Drain drain(const std::function<void(const Link&, bool deleted)>& onLink);
    Drain drain();

private:
    bool request(std::uint16_t type, const void* payload, std::size_t payloadSize, bool dump);
    // Receives the answer to the last request; each message goes to onMessage.
    template <class OnMessage> bool receive(OnMessage&& onMessage);
    ssize_t receiveOnce(int flags);

    UniqueFd fd;
    std::uint32_t sequence = 0;
    std::unique_ptr<unsigned char[]> buffer;
    int error = 0;
};

// Decodes an RTM_NEWLINK/RTM_DELLINK message body; false when malformed.
bool parseLink(const void* message, std::size_t length, Link& link);

} // namespace platform::netlink
