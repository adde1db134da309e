// One observed connection, dial-up or LAN interface, with the traffic of
// its current accounting quantum (one clock hour with 24 quanta a day).
#pragma once

#include "common/datetime.h"
#include "platform/ras.h"

#include <cstdint>
#include <string>

class ConnectionLogger;

// Whether a quantum leaves a record when logged: one with a sample since
// it began, of a dial-up connection or of a LAN interface with traffic.
bool quantumLeavesRecord(unsigned char connectionType, TDateTime quantumStart, TDateTime lastUpdate,
                         std::uint64_t quantumSent, std::uint64_t quantumReceived);

class Connection {
public:
    // A dial-up connection.
    Connection(HRASCONN handle, int passNumber, const std::string& phonebook, const std::string& entryName,
               const std::string& deviceType, const std::string& deviceName);
    // A LAN interface; ifIndex is the interface's index in the system.
    Connection(const std::string& name, int passNumber, DWORD ifIndex = 0);
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int getUID() const { return UID; }
    unsigned char getConnectionType() const { return connectionType; }
    HRASCONN getHandle() const { return handle; }
    DWORD getIfIndex() const { return ifIndex; }
    int getLastSeen() const { return lastSeen; }
    const std::string& getPhonebook() const { return phonebook; }
    const std::string& getName() const { return name; }
    const std::string& getDeviceType() const { return deviceType; }
    const std::string& getDeviceName() const { return deviceName; }
    const std::string& getPhoneNumber() const { return phoneNumber; }
    const std::string& getUserName() const { return userName; }
    std::uint64_t getQuantumSent() const { return quantumSent; }
    std::uint64_t getQuantumReceived() const { return quantumReceived; }
    DWORD getLastSent() const { return lastSent; }
    DWORD getLastReceived() const { return lastReceived; }
    TDateTime getQuantumStart() const { return quantumStart; }
    TDateTime getLastUpdate() const { return lastUpdate; }
    bool getIsNew() const { return isNew; }
    bool isDisconnected() const { return disconnected; }

    void setPhoneNumber(const std::string& number) { phoneNumber = number; }
    void setUserName(const std::string& user) { userName = user; }
    void setDisconnected() { disconnected = true; }
    // A later pass found the connection again: it is no longer new.
    void setLastSeen(int passNumber);
    // A sample of the raw 32-bit counters; the first one is the baseline.
    void updateCounters(DWORD sent, DWORD received);
    void startNewQuantum();
    // The quantum of the day that time falls in, 0 .. quantumsPerDay-1.
    static int quantumIndex(int quantumsPerDay, TDateTime time);
    bool quantumChanged(int quantumsPerDay) const;
    // Hands the current quantum to the log (a LAN one only with traffic).
    void log(ConnectionLogger* logger) const;

private:
    void init(unsigned char type);

    HRASCONN handle = 0;
    int lastSeen;
    std::string phonebook;
    std::string name;
    std::string deviceType;
    std::string deviceName;
    std::string phoneNumber;
    std::string userName;
    std::uint64_t quantumSent = 0;
    std::uint64_t quantumReceived = 0;
    DWORD lastSent = 0;
    DWORD lastReceived = 0;
    TDateTime quantumStart = 0;
    TDateTime lastUpdate = 0;
    bool isNew = true;
    bool disconnected = false;
    unsigned char connectionType = 0;
    int UID = 0;
    DWORD ifIndex = 0;
};

// The UID counter is process-wide; tests of a fresh "service run" reset it.
void resetConnectionUIDs();
