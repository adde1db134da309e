#include "fakes/scripted_ras.h"

#include <cstring>

using platform::ras::copyField;

DWORD ScriptedRas::enumConnections(RASCONN* out, DWORD* bytes, DWORD* count)
{
    ++enumCalls;
    enumSizes.push_back(*bytes);
    if (out->dwSize != sizeof(RASCONN))
        return ERROR_INVALID_SIZE;
    if (!enumFailures.empty()) {
        const DWORD result = enumFailures.front();
        enumFailures.pop_front();
        return result;
    }
    const DWORD needed = static_cast<DWORD>(connections.size() * sizeof(RASCONN));
    *count = static_cast<DWORD>(connections.size());
    if (*bytes < needed) {
        *bytes = needed;
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (std::size_t i = 0; i < connections.size(); ++i) {
        RASCONN& c = out[i];
        std::memset(&c, 0, sizeof c);
        c.dwSize = sizeof c;
        c.hrasconn = connections[i].handle;
        copyField(c.szEntryName, sizeof c.szEntryName, connections[i].entryName);
        copyField(c.szDeviceType, sizeof c.szDeviceType, connections[i].deviceType);
        copyField(c.szDeviceName, sizeof c.szDeviceName, connections[i].deviceName);
        copyField(c.szPhonebook, sizeof c.szPhonebook, connections[i].phonebook);
    }
    return 0;
}

DWORD ScriptedRas::getConnectionStatistics(HRASCONN connection, RAS_STATS* out)
{
    const auto found = statistics.find(connection);
    if (found == statistics.end())
        return ERROR_NO_CONNECTION;
    if (found->second.result == 0) {
        out->dwBytesXmited = found->second.sent;
        out->dwBytesRcved = found->second.received;
    }
    return found->second.result;
}

DWORD ScriptedRas::getEntryDialParams(const char*, RASDIALPARAMSA* params, BOOL* passwordStored)
{
    const auto found = entries.find(params->szEntryName);
    if (found == entries.end())
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    if (found->second.dialResult != 0)
        return found->second.dialResult;
    copyField(params->szPhoneNumber, sizeof params->szPhoneNumber, found->second.phoneNumber);
    copyField(params->szUserName, sizeof params->szUserName, found->second.userName);
    if (passwordStored)
        *passwordStored = 0;
    return 0;
}

DWORD ScriptedRas::getEntryProperties(const char*, const char* entry, RASENTRYA* properties, DWORD* bytes)
{
    const auto found = entries.find(entry);
    if (found == entries.end())
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    if (!properties || *bytes < sizeof(RASENTRYA)) {
        *bytes = sizeof(RASENTRYA);
        return ERROR_BUFFER_TOO_SMALL;
    }
    if (found->second.propertiesResult != 0)
        return found->second.propertiesResult;
    copyField(properties->szLocalPhoneNumber, sizeof properties->szLocalPhoneNumber,
              found->second.localPhoneNumber);
    return 0;
}

DWORD ScriptedRas::connectionNotification(HRASCONN, platform::Event& event, DWORD)
{
    notified = &event;
    return 0;
}

DWORD ScriptedRas::enumEntries(const char*, RASENTRYNAMEA* out, DWORD* bytes, DWORD* count)
{
    const DWORD needed = static_cast<DWORD>(entries.size() * sizeof(RASENTRYNAMEA));
    *count = static_cast<DWORD>(entries.size());
    if (!out || *bytes < needed) {
        *bytes = needed;
        return ERROR_BUFFER_TOO_SMALL;
    }
    std::size_t i = 0;
    for (const auto& [name, entry] : entries) {
        std::memset(&out[i], 0, sizeof out[i]);
        out[i].dwSize = sizeof(RASENTRYNAMEA);
        copyField(out[i].szEntryName, sizeof out[i].szEntryName, name);
        ++i;
    }
    return 0;
}
