#include "service/connection.h"

#include "common/common.h"
#include "common/ltassert.h"
#include "log/conlogger.h"

#include <atomic>
#include <cmath>

namespace {

// One counter for every connection of the process: the first gets 1.
std::atomic<int> uidCounter{0};

} // namespace

void resetConnectionUIDs() { uidCounter = 0; }

Connection::Connection(HRASCONN handle, int passNumber, const std::string& phonebook,
                       const std::string& entryName, const std::string& deviceType, const std::string& deviceName)
    : handle(handle), lastSeen(passNumber), phonebook(phonebook), name(entryName), deviceType(deviceType),
      deviceName(deviceName)
{
    init(RAS_CONNECTION);
}

Connection::Connection(const std::string& name, int passNumber, DWORD ifIndex)
    : lastSeen(passNumber), name(name), ifIndex(ifIndex)
{
    init(LAN_CONNECTION);
}

void Connection::init(unsigned char type)
{
    UID = ++uidCounter;
    isNew = true;
    disconnected = false;
    connectionType = type;
    lastSent = 0;
    lastReceived = 0;
    lastUpdate = Now();
    startNewQuantum();
}

void Connection::setLastSeen(int passNumber)
{
    if (passNumber == lastSeen)
        return;
    lastSeen = passNumber;
    isNew = false;
}

void Connection::updateCounters(DWORD sent, DWORD received)
{
    lastUpdate = Now();
    if (isNew) {
        lastSent = sent;
        lastReceived = received;
    }
    // Unsigned 32-bit differences: a counter that went down wrapped past 2^32.
    quantumSent += static_cast<DWORD>(sent - lastSent);
    quantumReceived += static_cast<DWORD>(received - lastReceived);
    lastSent = sent;
    lastReceived = received;
}

void Connection::startNewQuantum()
{
    quantumSent = 0;
    quantumReceived = 0;
    quantumStart = lastUpdate;
}

int Connection::quantumIndex(int quantumsPerDay, TDateTime time)
{
    LT_ASSERT(quantumsPerDay > 0);
    const double quantumLength = 1.0 / quantumsPerDay;
    const double t = std::fabs(time);
    const double fraction = t - std::floor(t);
    const int result = static_cast<int>(std::floor(fraction / quantumLength));
    LT_ASSERT(result >= 0 && result < quantumsPerDay);
    return result;
}

bool Connection::quantumChanged(int quantumsPerDay) const
{
    if (std::floor(quantumStart) != std::floor(lastUpdate))
        return true;
    return quantumIndex(quantumsPerDay, quantumStart) != quantumIndex(quantumsPerDay, lastUpdate);
}

bool quantumLeavesRecord(unsigned char connectionType, TDateTime quantumStart, TDateTime lastUpdate,
                         std::uint64_t quantumSent, std::uint64_t quantumReceived)
{
    if (quantumStart == lastUpdate)
        return false;
    return connectionType == RAS_CONNECTION ||
           (connectionType == LAN_CONNECTION && (quantumSent > 0 || quantumReceived > 0));
}

void Connection::log(ConnectionLogger* logger) const
{
    LT_ASSERT(logger);
    if (!quantumLeavesRecord(connectionType, quantumStart, lastUpdate, quantumSent, quantumReceived))
        return;
    if (connectionType == RAS_CONNECTION)
        logger->logRASConnection(name, deviceType, deviceName, phoneNumber, userName, quantumStart, lastUpdate,
                                 quantumSent, quantumReceived);
    else
        logger->logLANConnection(name, quantumStart, lastUpdate, quantumSent, quantumReceived);
}
