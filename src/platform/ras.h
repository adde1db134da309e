// The dial-up (Remote Access) calls of both programs, with the records they
// read and the same result codes, over a provider that the caller hands in
// (tests hand in a scripted one).
// On Linux a dial-up connection is a PPP link (pppd) that is up, its handle
// the interface index; the phone book is the pppd peers folder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class Event;
}

typedef std::uint32_t DWORD;
typedef std::int32_t BOOL;
typedef std::uint32_t HRASCONN;

#define RAS_MaxEntryName 256
#define RAS_MaxDeviceType 16
#define RAS_MaxDeviceName 128
#define RAS_MaxPhoneNumber 128
#define RAS_MaxCallbackNumber 128
#define UNLEN 256
#define PWLEN 256
#define DNLEN 15
#define RAS_MaxAreaCode 10
#define MAX_PATH 260

inline constexpr DWORD ERROR_INVALID_PARAMETER_RAS = 87;
inline constexpr DWORD ERROR_BUFFER_TOO_SMALL = 603;
inline constexpr DWORD ERROR_CANNOT_FIND_PHONEBOOK_ENTRY = 623;
inline constexpr DWORD ERROR_INVALID_SIZE = 632;
inline constexpr DWORD ERROR_NO_CONNECTION = 668;

// Handle meaning every connection, for RasConnectionNotificationA.
inline constexpr HRASCONN ALL_RAS_CONNECTIONS = 0xFFFFFFFFu;
inline constexpr DWORD RASCN_Connection = 1;
inline constexpr DWORD RASCN_Disconnection = 2;

struct RASCONN {
    DWORD dwSize;
    HRASCONN hrasconn;
    char szEntryName[RAS_MaxEntryName + 1];
    char szDeviceType[RAS_MaxDeviceType + 1];
    char szDeviceName[RAS_MaxDeviceName + 1];
    char szPhonebook[MAX_PATH];
    DWORD dwSubEntry;
    unsigned char guidEntry[16];
};
static_assert(sizeof(RASCONN) == 692);

struct RAS_STATS {
    DWORD dwSize;
    DWORD dwBytesXmited;
    DWORD dwBytesRcved;
    DWORD dwFramesXmited;
    DWORD dwFramesRcved;
    DWORD dwCrcErr;
    DWORD dwTimeoutErr;
    DWORD dwAlignmentErr;
    DWORD dwHardwareOverrunErr;
    DWORD dwFramingErr;
    DWORD dwBufferOverrunErr;
    DWORD dwCompressionRatioIn;
    DWORD dwCompressionRatioOut;
    DWORD dwBps;
    DWORD dwConnectDuration;
};
static_assert(sizeof(RAS_STATS) == 60);

struct RASDIALPARAMSA {
    DWORD dwSize;
    char szEntryName[RAS_MaxEntryName + 1];
    char szPhoneNumber[RAS_MaxPhoneNumber + 1];
    char szCallbackNumber[RAS_MaxCallbackNumber + 1];
    char szUserName[UNLEN + 1];
    char szPassword[PWLEN + 1];
    char szDomain[DNLEN + 1];
    DWORD dwSubEntry;
    DWORD dwCallbackId;
};
static_assert(sizeof(RASDIALPARAMSA) == 1060);

// Only the leading fields are read; the rest keeps the record's size.
struct RASENTRYA {
    DWORD dwSize;
    DWORD dwfOptions;
    DWORD dwCountryID;
    DWORD dwCountryCode;
    char szAreaCode[RAS_MaxAreaCode + 1];
    char szLocalPhoneNumber[RAS_MaxPhoneNumber + 1];
    char reserved[2088 - 156];
};
static_assert(sizeof(RASENTRYA) == 2088);

struct RASENTRYNAMEA {
    DWORD dwSize;
    char szEntryName[RAS_MaxEntryName + 1];
    DWORD dwFlags;
    char szPhonebookPath[MAX_PATH + 1];
};
static_assert(sizeof(RASENTRYNAMEA) == 532);

// What the calls below are served by. The service's observer and collector
// threads share one.
class RasProvider {
public:
    virtual ~RasProvider() = default;
    virtual DWORD enumConnections(RASCONN* connections, DWORD* bytes, DWORD* count) = 0;
    virtual DWORD getConnectionStatistics(HRASCONN connection, RAS_STATS* statistics) = 0;
    virtual DWORD getEntryDialParams(const char* phonebook, RASDIALPARAMSA* params, BOOL* passwordStored) = 0;
    virtual DWORD getEntryProperties(const char* phonebook, const char* entry, RASENTRYA* properties,
                                     DWORD* bytes) = 0;
    virtual DWORD connectionNotification(HRASCONN connection, platform::Event& event, DWORD flags) = 0;
    virtual DWORD enumEntries(const char* phonebook, RASENTRYNAMEA* entries, DWORD* bytes, DWORD* count) = 0;
};

// The Linux provider: PPP links of the network namespace the caller is in
// when it makes the provider, and the pppd peers folder.
std::unique_ptr<RasProvider> makeSystemRasProvider();

DWORD RasEnumConnectionsA(RasProvider& ras, RASCONN* lprasconn, DWORD* lpcb, DWORD* lpcConnections);
DWORD RasGetConnectionStatistics(RasProvider& ras, HRASCONN hRasConn, RAS_STATS* lpStatistics);
DWORD RasGetEntryDialParamsA(RasProvider& ras, const char* lpszPhonebook, RASDIALPARAMSA* lprasdialparams,
                             BOOL* lpfPassword);
DWORD RasGetEntryPropertiesA(RasProvider& ras, const char* lpszPhonebook, const char* lpszEntry,
                             RASENTRYA* lpRasEntry, DWORD* lpdwEntryInfoSize, void* lpbDeviceInfo,
                             DWORD* lpdwDeviceInfoSize);
DWORD RasConnectionNotificationA(RasProvider& ras, HRASCONN hrasconn, platform::Event& hEvent, DWORD dwFlags);
DWORD RasEnumEntriesA(RasProvider& ras, const char* reserved, const char* lpszPhonebook,
                      RASENTRYNAMEA* lprasentryname, DWORD* lpcb, DWORD* lpcEntries);

namespace platform::ras {

// Copies text into a fixed record field, cut to fit, always terminated.
void copyField(char* field, std::size_t fieldSize, const std::string& text);

// The Linux provider's pieces, open to tests.
struct PeerEntry {
    std::string user;
    std::string phoneNumber;
};
// The user and phone number of a pppd peers file's text. When the entry
// holds no ATD command, readFile fetches the chat script that a connect
// command names with "-f FILE".
PeerEntry parsePeerEntry(const std::string& text, std::string (*readFile)(const std::string&));
// Whether a pppd pid file's text ("PID\nIFNAME\n") names the interface;
// pppd writes the pid alone first, which does not name it yet.
bool pidFileNames(const std::string& text, const std::string& interfaceName);
// Whether a link of that operational state (IF_OPER_*) and those flags
// (IFF_*) is up: a PPP link is a connection only then.
bool linkIsUp(std::uint8_t operState, std::uint32_t flags);

} // namespace platform::ras
