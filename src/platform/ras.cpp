#include "platform/ras.h"

#include "platform/environment.h"
#include "platform/event.h"
#include "platform/files.h"
#include "platform/netlink.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <linux/if.h>
#include <linux/if_arp.h>
#include <linux/rtnetlink.h>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace platform::ras {

namespace {

constexpr DWORD ERROR_CAN_NOT_COMPLETE = 1003;

std::string readWholeFile(const std::string& path) { return platform::readWholeFile(path).value_or(std::string()); }

std::string peersFolder(const char* phonebook)
{
    return phonebook && phonebook[0] ? phonebook : platform::variableOr("LINKTALLY_PPP_PEERS", "/etc/ppp/peers");
}

std::vector<std::string> pidFolders()
{
    if (const std::string dir = platform::variableOr("LINKTALLY_PPP_RUNDIR", ""); !dir.empty())
        return {dir};
    return {"/run/pppd", "/run"};
}

// Regular files of a folder in name order (the phone book's entries).
std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.' || name.back() == '~')
            continue;
        struct stat st {};
        if (::stat((folder + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

// Words of a pppd options text: blanks separate, quotes group, # comments.
std::vector<std::string> optionWords(const std::string& text)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"' || c == '\'') {
            const std::size_t close = text.find(c, i + 1);
            word += text.substr(i + 1, (close == std::string::npos ? text.size() : close) - i - 1);
            i = close == std::string::npos ? text.size() : close;
            inWord = true;
        } else if (c == '#' && !inWord) {
            i = std::min(text.find('\n', i), text.size());
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

// The number after ATDT, ATDP or ATD, or empty.
std::string dialledNumber(const std::string& text)
{
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    for (std::size_t at = upper.find("ATD"); at != std::string::npos; at = upper.find("ATD", at + 3)) {
        std::size_t i = at + 3;
        if (i < upper.size() && (upper[i] == 'T' || upper[i] == 'P'))
            ++i;
        std::string number;
        while (i < text.size() && std::strchr("0123456789*#+,-wWpP", text[i]) && text[i] != '\0')
            number += text[i++];
        if (!number.empty())
            return number;
    }
    return {};
}

// "-f FILE" inside any word (a connect command) names the chat script.
std::string chatScriptOf(const std::vector<std::string>& words)
{
    for (const std::string& word : words) {
        const std::vector<std::string> inner = optionWords(word);
        for (std::size_t i = 0; i + 1 < inner.size(); ++i)
            if (inner[i] == "-f")
                return inner[i + 1];
    }
    return {};
}

std::string procCmdlineDevice(const std::string& pid)
{
    const std::string cmdline = readWholeFile("/proc/" + pid + "/cmdline");
    for (std::size_t start = 0; start < cmdline.size();) {
        const std::size_t end = std::min(cmdline.find('\0', start), cmdline.size());
        const std::string arg = cmdline.substr(start, end - start);
        if (arg.starts_with("/dev/"))
            return arg;
        if (arg.starts_with("tty"))
            return "/dev/" + arg;
        start = end + 1;
    }
    return {};
}

struct PppLink {
    std::string entryName;
    std::string deviceType;
    std::string deviceName;
};

// The pppd link name and device of a PPP interface.
PppLink describeLink(const std::string& interfaceName)
{
    PppLink link{interfaceName, "PPP", interfaceName};
    for (const std::string& folder : pidFolders()) {
        for (const std::string& file : filesIn(folder)) {
            if (!file.starts_with("ppp-") || !file.ends_with(".pid"))
                continue;
            const std::string text = readWholeFile(folder + "/" + file);
            if (!pidFileNames(text, interfaceName))
                continue;
            link.entryName = file.substr(4, file.size() - 8);
            const std::string device = procCmdlineDevice(splitLines(text)[0]);
            if (!device.empty()) {
                link.deviceType = "modem";
                link.deviceName = device;
            }
            return link;
        }
    }
    return link;
}

bool entryExists(const std::string& folder, const char* entry)
{
    if (!entry || !entry[0] || std::strchr(entry, '/'))
        return false;
    struct stat st {};
    return ::stat((folder + "/" + entry).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

PeerEntry readPeerEntry(const std::string& folder, const char* entry)
{
    return parsePeerEntry(readWholeFile(folder + "/" + entry), &readWholeFile);
}

// Wakes an Event on every link change of the namespace.
class LinkChangeSource : public platform::EventSource {
public:
    LinkChangeSource() : socket(RTMGRP_LINK) {}
    bool isOpen() const { return socket.isOpen(); }
    int descriptor() const override { return socket.handle(); }
    bool consume() override { return socket.drain() != platform::netlink::Socket::Drain::Nothing; }

private:
    platform::netlink::Socket socket;
};

class LinuxRasProvider : public RasProvider {
public:
    DWORD enumConnections(RASCONN* connections, DWORD* bytes, DWORD* count) override
    {
        if (!connections || !bytes || !count)
            return ERROR_INVALID_PARAMETER_RAS;
        if (connections->dwSize != sizeof(RASCONN))
            return ERROR_INVALID_SIZE;
        std::vector<platform::netlink::Link> links;
        {
            std::lock_guard guard(lock);
            if (!socket.dumpLinks(links))
                return ERROR_CAN_NOT_COMPLETE;
        }
        // pppd creates the unit before it names it in its pid file; until the
        // link is up it is no connection, nor would its entry name be known.
        std::erase_if(links, [](const auto& l) { return l.type != ARPHRD_PPP || !linkIsUp(l.operState, l.flags); });
        const DWORD needed = static_cast<DWORD>(links.size() * sizeof(RASCONN));
        *count = static_cast<DWORD>(links.size());
        if (*bytes < needed) {
            *bytes = needed;
            return ERROR_BUFFER_TOO_SMALL;
        }
        *bytes = needed;
        const std::string phonebook = peersFolder(nullptr);
        for (std::size_t i = 0; i < links.size(); ++i) {
            RASCONN& c = connections[i];
            std::memset(&c, 0, sizeof c);
            c.dwSize = sizeof(RASCONN);
            c.hrasconn = links[i].index;
            const PppLink described = describeLink(links[i].name);
            copyField(c.szEntryName, sizeof c.szEntryName, described.entryName);
            copyField(c.szDeviceType, sizeof c.szDeviceType, described.deviceType);
            copyField(c.szDeviceName, sizeof c.szDeviceName, described.deviceName);
            copyField(c.szPhonebook, sizeof c.szPhonebook, phonebook);
        }
        return 0;
    }

    DWORD getConnectionStatistics(HRASCONN connection, RAS_STATS* statistics) override
    {
        if (!statistics)
            return ERROR_INVALID_PARAMETER_RAS;
        if (statistics->dwSize != sizeof(RAS_STATS))
            return ERROR_INVALID_SIZE;
        platform::netlink::Link link;
        {
            std::lock_guard guard(lock);
            if (!socket.getLink(connection, link))
                return socket.lastError() == ENODEV ? ERROR_NO_CONNECTION : ERROR_CAN_NOT_COMPLETE;
        }
        if (link.type != ARPHRD_PPP || !linkIsUp(link.operState, link.flags))
            return ERROR_NO_CONNECTION; // taken down, or the handle now names another interface
        std::memset(statistics, 0, sizeof *statistics);
        statistics->dwSize = sizeof(RAS_STATS);
        statistics->dwBytesXmited = static_cast<DWORD>(link.counters.txBytes);
        statistics->dwBytesRcved = static_cast<DWORD>(link.counters.rxBytes);
        statistics->dwFramesXmited = static_cast<DWORD>(link.counters.txPackets);
        statistics->dwFramesRcved = static_cast<DWORD>(link.counters.rxPackets);
        return 0;
    }

    DWORD getEntryDialParams(const char* phonebook, RASDIALPARAMSA* params, BOOL* passwordStored) override
    {
        if (!params)
            return ERROR_INVALID_PARAMETER_RAS;
        if (params->dwSize != sizeof(RASDIALPARAMSA))
            return ERROR_INVALID_SIZE;
        const std::string folder = peersFolder(phonebook);
        params->szEntryName[sizeof params->szEntryName - 1] = '\0';
        if (!entryExists(folder, params->szEntryName))
            return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        const PeerEntry entry = readPeerEntry(folder, params->szEntryName);
        copyField(params->szPhoneNumber, sizeof params->szPhoneNumber, entry.phoneNumber);
        copyField(params->szUserName, sizeof params->szUserName, entry.user);
        if (passwordStored)
            *passwordStored = 0;
        return 0;
    }

    DWORD getEntryProperties(const char* phonebook, const char* entry, RASENTRYA* properties,
                             DWORD* bytes) override
    {
        if (!bytes)
            return ERROR_INVALID_PARAMETER_RAS;
        const std::string folder = peersFolder(phonebook);
        if (!entryExists(folder, entry))
            return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        if (!properties || *bytes < sizeof(RASENTRYA)) {
            *bytes = sizeof(RASENTRYA);
            return ERROR_BUFFER_TOO_SMALL;
        }
        if (properties->dwSize != sizeof(RASENTRYA))
            return ERROR_INVALID_SIZE;
        copyField(properties->szLocalPhoneNumber, sizeof properties->szLocalPhoneNumber,
                  readPeerEntry(folder, entry).phoneNumber);
        return 0;
    }

    DWORD connectionNotification(HRASCONN, platform::Event& event, DWORD) override
    {
        auto source = std::make_unique<LinkChangeSource>();
        if (!source->isOpen())
            return ERROR_CAN_NOT_COMPLETE;
        event.attach(std::move(source));
        return 0;
    }

    DWORD enumEntries(const char* phonebook, RASENTRYNAMEA* entries, DWORD* bytes, DWORD* count) override
    {
        if (!bytes || !count)
            return ERROR_INVALID_PARAMETER_RAS;
        if (entries && entries->dwSize != sizeof(RASENTRYNAMEA))
            return ERROR_INVALID_SIZE;
        const std::string folder = peersFolder(phonebook);
        const std::vector<std::string> names = filesIn(folder);
        const DWORD needed = static_cast<DWORD>(names.size() * sizeof(RASENTRYNAMEA));
        *count = static_cast<DWORD>(names.size());
        if (!entries || *bytes < needed) {
            *bytes = needed;
            return ERROR_BUFFER_TOO_SMALL;
        }
        *bytes = needed;
        for (std::size_t i = 0; i < names.size(); ++i) {
            RASENTRYNAMEA& e = entries[i];
            std::memset(&e, 0, sizeof e);
            e.dwSize = sizeof(RASENTRYNAMEA);
            copyField(e.szEntryName, sizeof e.szEntryName, names[i]);
            copyField(e.szPhonebookPath, sizeof e.szPhonebookPath, folder);
        }
        return 0;
    }

private:
    std::mutex lock; // the collector and the observer thread both ask
    platform::netlink::Socket socket;
};

} // namespace

void copyField(char* field, std::size_t fieldSize, const std::string& text)
{
    const std::size_t length = std::min(text.size(), fieldSize - 1);
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

bool pidFileNames(const std::string& text, const std::string& interfaceName)
{
    const std::vector<std::string> lines = splitLines(text);
    return lines.size() >= 2 && lines[1] == interfaceName;
}

bool linkIsUp(std::uint8_t operState, std::uint32_t flags)
{
    // Drivers that keep no operational state (tun, for one) leave it unknown:
    // then the administrative flag and the carrier tell.
    return operState == IF_OPER_UP ||
           (operState == IF_OPER_UNKNOWN && (flags & IFF_UP) != 0 && (flags & IFF_RUNNING) != 0);
}

PeerEntry parsePeerEntry(const std::string& text, std::string (*readFile)(const std::string&))
{
    PeerEntry entry;
    const std::vector<std::string> words = optionWords(text);
    for (std::size_t i = 0; i + 1 < words.size(); ++i)
        if (words[i] == "user")
            entry.user = words[i + 1];
    entry.phoneNumber = dialledNumber(text);
    if (entry.phoneNumber.empty()) {
        const std::string script = chatScriptOf(words);
        if (!script.empty() && readFile)
            entry.phoneNumber = dialledNumber(readFile(script));
    }
    return entry;
}

} // namespace platform::ras

std::unique_ptr<RasProvider> makeSystemRasProvider() { return std::make_unique<platform::ras::LinuxRasProvider>(); }

DWORD RasEnumConnectionsA(RasProvider& ras, RASCONN* lprasconn, DWORD* lpcb, DWORD* lpcConnections)
{
    return ras.enumConnections(lprasconn, lpcb, lpcConnections);
}

DWORD RasGetConnectionStatistics(RasProvider& ras, HRASCONN hRasConn, RAS_STATS* lpStatistics)
{
    return ras.getConnectionStatistics(hRasConn, lpStatistics);
}

DWORD RasGetEntryDialParamsA(RasProvider& ras, const char* lpszPhonebook, RASDIALPARAMSA* lprasdialparams,
                             BOOL* lpfPassword)
{
    return ras.getEntryDialParams(lpszPhonebook, lprasdialparams, lpfPassword);
}

DWORD RasGetEntryPropertiesA(RasProvider& ras, const char* lpszPhonebook, const char* lpszEntry,
                             RASENTRYA* lpRasEntry, DWORD* lpdwEntryInfoSize, void*, DWORD*)
{
    return ras.getEntryProperties(lpszPhonebook, lpszEntry, lpRasEntry, lpdwEntryInfoSize);
}

DWORD RasConnectionNotificationA(RasProvider& ras, HRASCONN hrasconn, platform::Event& hEvent, DWORD dwFlags)
{
    return ras.connectionNotification(hrasconn, hEvent, dwFlags);
}

DWORD RasEnumEntriesA(RasProvider& ras, const char*, const char* lpszPhonebook, RASENTRYNAMEA* lprasentryname,
                      DWORD* lpcb, DWORD* lpcEntries)
{
    return ras.enumEntries(lpszPhonebook, lprasentryname, lpcb, lpcEntries);
}
