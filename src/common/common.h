// Product constants, application data folders and the every-account
// security attributes of shared objects.
#pragma once

#include "platform/named_lock.h"
#include "platform/named_objects.h"

#include <optional>
#include <string>

inline constexpr const char* COMPANY_NAME = "Tarnwick Software";
inline constexpr const char* PRODUCT_NAME = "Linktally";
inline constexpr const char* PRODUCT_VERSION = "1.3.1";
inline constexpr const char* CONNECTION_LOG_FILE_NAME = "cn.log";
inline constexpr const char* DEBUG_LOG_FILE_NAME = "debug.log";
inline constexpr const char* PRICE_FILE_NAME = "prices.txt";
inline constexpr const char* APPLICATION_TITLE = "Linktally 1.3.1";
inline constexpr const char* MONITOR_WINDOW_TITLE = "Linktally Monitor 1.3.1";
inline constexpr const char* TOTALS_WINDOW_TITLE = "Linktally Totals 1.3.1";
inline constexpr int COLLECTOR_PERIOD = 1000; // milliseconds between statistics passes
inline constexpr int quantumsPerDay = 24;

// What every program's --version prints: "<program> (Linktally) 1.3.1".
std::string versionText(const std::string& program);

// Connection type codes of the shared table and the log records.
inline constexpr unsigned char LAN_CONNECTION = 0;
inline constexpr unsigned char RAS_CONNECTION = 1;

// The monitor's single-instance object, one per session.
inline constexpr const char* MONITOR_INSTANCE_NAME = "Local\\Linktally1.3.1";
// Guards the connection log and the shared statistics table across programs.
inline constexpr const char* STATISTICS_MUTEX_NAME = "Global\\LINKTALLY_1.3.1_STATISTICS_MUTEX";

// Builds the folder path component by component ("/"-separated), creating
// each missing folder. Throws "Can't create directory '<path so far>'".
std::string createPath(const char* const* pathItems, int sz);

// The data folder of the service: the folder for all users + the product's
// three components, created when missing.
namespace service {
std::string getDataFolder();
}

namespace monitor {
// The user's own data folder, created when missing.
std::string getDataFolder();
// The same folder, only named (none without a home): for a reader that
// must not create it, as one in a read-only sandbox.
std::optional<std::string> findDataFolder();
// Where the service keeps its data; neither created nor looked up on disk.
std::string getServiceDataFolder();
// The service's connection log in that folder.
std::string getConnectionLogFile();
} // namespace monitor

// Attributes that let every account open an object: mode 0644 (all may read
// and lock, only the creator writes). Cannot fail on this platform.
using SECURITY_DESCRIPTOR = platform::SecurityDescriptor;
using SECURITY_ATTRIBUTES = platform::SecurityAttributes;
void initNullDaclSecurity(SECURITY_DESCRIPTOR& descriptor, SECURITY_ATTRIBUTES& attributes);

// The statistics mutex, the service's alone (0600), created when missing. Throws
// LTException "Can't create mutex" with the error code.
platform::NamedLock openStatisticsMutex();
