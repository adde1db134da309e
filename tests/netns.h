// Real links for tests: a private network namespace (with its own sysfs)
// where root may create veth pairs and tun devices switched to PPP.
#pragma once

#include <string>

namespace netns {

// Moves this process into new network and mount namespaces, mounts a sysfs
// of its own, turns IPv6 off (no stray packets) and brings lo up. Returns
// why it could not, or empty on success.
std::string enterPrivate();
// Runs a shell command; true when it exited with 0.
bool sh(const std::string& command);
// The benchmarks' machine: a private namespace with `pairs` veth pairs up
// (lb0/lb1, lb2/lb3 ...). Returns why not (it then leaves the machine's own
// interfaces in place and says so on standard error).
std::string enterPrivateWithVethPairs(int pairs);
// Sends count raw Ethernet frames of size bytes out of an interface.
bool sendFrames(const std::string& interfaceName, int count, int size);

// A tun device switched to link type PPP, gone when destroyed; up at once
// unless asked otherwise, as pppd leaves a unit down until the link is made.
class PppLink {
public:
    explicit PppLink(const std::string& name, bool up = true);
    ~PppLink();
    PppLink(const PppLink&) = delete;
    PppLink& operator=(const PppLink&) = delete;
    bool ok() const { return fd >= 0; }
    // Injects an IPv4 packet of size bytes as received on the link.
    bool receive(int size);
    // Sets the link up or down (administratively); true when it worked.
    bool setUp(bool up);
    void remove();

private:
    std::string name;
    int fd = -1;
};

} // namespace netns

#define REQUIRE_PRIVATE_NETNS()                                                \
    do {                                                                       \
        const std::string why = netns::enterPrivate();                         \
        if (!why.empty())                                                      \
            GTEST_SKIP() << "needs a private network namespace: " << why;      \
    } while (0)
