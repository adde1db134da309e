// A dial-up provider whose answers tests script; tests hand it to what
// they build.
#pragma once

#include "platform/event.h"
#include "platform/ras.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

struct ScriptedConnection {
    HRASCONN handle;
    std::string entryName;
    std::string deviceType = "modem";
    std::string deviceName = "USR";
    std::string phonebook = "/etc/ppp/peers";
};

struct ScriptedStatistics {
    DWORD result = 0;
    DWORD sent = 0;
    DWORD received = 0;
};

struct ScriptedEntry {
    DWORD dialResult = 0;
    std::string phoneNumber;
    std::string userName;
    DWORD propertiesResult = 0;
    std::string localPhoneNumber;
};

class ScriptedRas : public RasProvider {
public:
    std::vector<ScriptedConnection> connections;
    std::deque<DWORD> enumFailures; // results of the next enumerations, before real answers
    std::map<HRASCONN, ScriptedStatistics> statistics;
    std::map<std::string, ScriptedEntry> entries; // the phone book, in name order
    platform::Event* notified = nullptr;
    int enumCalls = 0;
    std::vector<DWORD> enumSizes; // the byte size passed to each enumeration

    // A connection came or went: wake whoever registered.
    void notify() { if (notified) notified->set(); }

    DWORD enumConnections(RASCONN* connections, DWORD* bytes, DWORD* count) override;
    DWORD getConnectionStatistics(HRASCONN connection, RAS_STATS* statistics) override;
    DWORD getEntryDialParams(const char* phonebook, RASDIALPARAMSA* params, BOOL* passwordStored) override;
    DWORD getEntryProperties(const char* phonebook, const char* entry, RASENTRYA* properties,
                             DWORD* bytes) override;
    DWORD connectionNotification(HRASCONN connection, platform::Event& event, DWORD flags) override;
    DWORD enumEntries(const char* phonebook, RASENTRYNAMEA* entries, DWORD* bytes, DWORD* count) override;
};
