#include "common/common.h"

#include "common/dbglogger.h"
#include "common/ltassert.h"
#include "platform/folders.h"

#include <optional>

namespace {

std::string folderOrFail(const std::optional<std::string>& base)
{
    if (!base)
        throw LTException("FATAL ERROR! SHGetFolderPath failed.\n");
    return *base;
}

std::string createProductPath(const std::string& base)
{
    const char* items[] = {base.c_str(), COMPANY_NAME, PRODUCT_NAME, PRODUCT_VERSION};
    return createPath(items, 4);
}

// The same path, only named.
std::string productPath(const std::string& base)
{
    return base + "/" + COMPANY_NAME + "/" + PRODUCT_NAME + "/" + PRODUCT_VERSION;
}

} // namespace

std::string versionText(const std::string& program)
{
    return program + " (" + PRODUCT_NAME + ") " + PRODUCT_VERSION;
}

std::string createPath(const char* const* pathItems, int sz)
{
    LT_ASSERT(sz > 0);
    LT_ASSERT(pathItems);
    std::string path;
    for (int i = 0; i < sz; ++i) {
        LT_ASSERT(pathItems[i]);
        if (!path.empty())
            path += '/';
        path += pathItems[i];
        if (!platform::directoryExists(path) && !platform::createDirectory(path))
            throw LTException("Can't create directory '" + path + "'");
    }
    return path;
}

std::string service::getDataFolder()
{
    return createProductPath(folderOrFail(platform::commonAppDataFolder()));
}

std::string monitor::getDataFolder()
{
    // A fresh account may have no ~/.local/share yet; it is the user's own,
    // made private as XDG asks.
    const std::string base = folderOrFail(platform::userAppDataFolder());
    platform::createDirectories(base);
    return createProductPath(base);
}

std::optional<std::string> monitor::findDataFolder()
{
    const std::optional<std::string> base = platform::userAppDataFolder();
    if (!base)
        return std::nullopt;
    return productPath(*base);
}

std::string monitor::getServiceDataFolder()
{
    return productPath(folderOrFail(platform::commonAppDataFolder()));
}

std::string monitor::getConnectionLogFile() { return getServiceDataFolder() + "/" + CONNECTION_LOG_FILE_NAME; }

platform::NamedLock openStatisticsMutex()
{
    // The service's account's alone: a lock that every account could open,
    // any account could take and hold for ever, stalling the service.
    // Readers take none; the table's sequence count and whole log frames
    // keep them from half-written data.
    SECURITY_DESCRIPTOR descriptor{0600};
    SECURITY_ATTRIBUTES attributes{&descriptor, false};
    return platform::NamedLock(STATISTICS_MUTEX_NAME, &attributes);
}

void initNullDaclSecurity(SECURITY_DESCRIPTOR& descriptor, SECURITY_ATTRIBUTES& attributes)
{
    descriptor.mode = 0644;
    attributes.descriptor = &descriptor;
    attributes.inheritHandle = false;
}
