#include "netns.h"

#include <net/if.h> // before the linux/ headers, which then leave glibc's names alone

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <linux/if_arp.h>
#include <linux/if_packet.h>
#include <linux/if_tun.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace netns {

std::string enterPrivate()
{
    if (::geteuid() != 0)
        return "not running as root";
    if (::unshare(CLONE_NEWNET | CLONE_NEWNS) != 0)
        return std::string("unshare: ") + std::strerror(errno);
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("sysfs", "/sys", "sysfs", 0, nullptr) != 0)
        return std::string("mounting a sysfs of the namespace: ") + std::strerror(errno);
    for (const char* path : {"/proc/sys/net/ipv6/conf/all/disable_ipv6", "/proc/sys/net/ipv6/conf/default/disable_ipv6"})
        std::ofstream(path) << "1\n";
    if (!sh("ip link set lo up"))
        return "ip (iproute2) is missing or failed";
    return {};
}

bool sh(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string enterPrivateWithVethPairs(int pairs)
{
    const std::string why = enterPrivate();
    if (!why.empty()) {
        std::fprintf(stderr, "Not in a private namespace (%s): measuring this machine's interfaces.\n", why.c_str());
        return why;
    }
    for (int pair = 0; pair < pairs; ++pair) {
        const std::string a = "lb" + std::to_string(2 * pair), b = "lb" + std::to_string(2 * pair + 1);
        sh("ip link add " + a + " type veth peer name " + b + " && ip link set " + a + " up && ip link set " + b + " up");
    }
    return {};
}

bool sendFrames(const std::string& interfaceName, int count, int size)
{
    const int fd = ::socket(AF_PACKET, SOCK_RAW, 0);
    if (fd < 0)
        return false;
    sockaddr_ll to {};
    to.sll_family = AF_PACKET;
    to.sll_ifindex = static_cast<int>(::if_nametoindex(interfaceName.c_str()));
    to.sll_halen = 6;
    std::memset(to.sll_addr, 0xFF, 6);
    std::vector<unsigned char> frame(static_cast<std::size_t>(size), 0);
    std::memset(frame.data(), 0xFF, 6);               // broadcast
    frame[12] = 0x88;                                  // local experimental EtherType
    frame[13] = 0xB5;
    bool ok = to.sll_ifindex != 0;
    for (int i = 0; ok && i < count; ++i)
        ok = ::sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) == size;
    ::close(fd);
    return ok;
}

PppLink::PppLink(const std::string& name, bool up) : name(name)
{
    fd = ::open("/dev/net/tun", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return;
    ifreq request {};
    std::strncpy(request.ifr_name, name.c_str(), IFNAMSIZ - 1);
    request.ifr_flags = IFF_TUN | IFF_NO_PI;
    if (::ioctl(fd, TUNSETIFF, &request) != 0 || ::ioctl(fd, TUNSETLINK, static_cast<unsigned long>(ARPHRD_PPP)) != 0 ||
        (up && !setUp(true))) {
        remove();
    }
}

PppLink::~PppLink() { remove(); }

bool PppLink::setUp(bool up) { return fd >= 0 && sh("ip link set " + name + (up ? " up" : " down")); }

void PppLink::remove()
{
    if (fd >= 0)
        ::close(fd); // a tun device that is not persistent goes with its descriptor
    fd = -1;
}

bool PppLink::receive(int size)
{
    std::vector<unsigned char> packet(static_cast<std::size_t>(size), 0);
    packet[0] = 0x45; // IPv4, 20-byte header
    packet[2] = static_cast<unsigned char>(size >> 8);
    packet[3] = static_cast<unsigned char>(size & 0xFF);
    packet[8] = 64;   // TTL
    packet[9] = 17;   // UDP
    const unsigned char source[] = {10, 99, 0, 2}, target[] = {10, 99, 0, 1};
    std::memcpy(&packet[12], source, 4);
    std::memcpy(&packet[16], target, 4);
    std::uint32_t sum = 0;
    for (int i = 0; i < 20; i += 2)
        sum += static_cast<std::uint32_t>(packet[static_cast<std::size_t>(i)] << 8 | packet[static_cast<std::size_t>(i) + 1]);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    packet[10] = static_cast<unsigned char>(~sum >> 8);
    packet[11] = static_cast<unsigned char>(~sum & 0xFF);
    return ::write(fd, packet.data(), packet.size()) == size;
}

} // namespace netns
