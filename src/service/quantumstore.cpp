#include "service/quantumstore.h"

#include "common/common.h"
#include "log/conlogger.h"
#include "service/connection.h"

#include <algorithm>
#include <cstring>

namespace {

template <std::size_t N> void putText(char (&field)[N], const std::string& text)
{
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

template <std::size_t N> std::string textOf(const char (&field)[N]) { return std::string(field, strnlen(field, N)); }

} // namespace

QuantumStore::QuantumStore(ConnectionLogger& logger, const Logged& logged)
{
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
    initNullDaclSecurity(descriptor, attributes);
    std::vector<unsigned char> leftBehind;
    mapping.create(QUANTUM_STORE_NAME, sizeof(QuantumStoreData), &attributes, &leftBehind);
    data = static_cast<QuantumStoreData*>(mapping.data());
    recover(leftBehind, logger, logged);
    data->magic = QUANTUM_STORE_MAGIC;
    data->count = 0;
}

void QuantumStore::recover(const std::vector<unsigned char>& leftBehind, ConnectionLogger& logger,
                           const Logged& logged)
{
    if (leftBehind.size() < sizeof(QuantumStoreData))
        return;
    QuantumStoreData old;
    std::memcpy(&old, leftBehind.data(), sizeof old);
    if (old.magic != QUANTUM_STORE_MAGIC)
        return;
    for (std::uint32_t i = 0; i < std::min(old.count, QUANTUM_STORE_CAPACITY); ++i) {
        const StoredQuantum& q = old.quanta[i];
        const std::string name = textOf(q.name);
        const bool dialUp = q.connectionType == RAS_CONNECTION;
        // As a pass would have logged it: a quantum without a sample is none,
        // a LAN quantum without traffic leaves no record.
        if (q.lastUpdate == q.quantumStart || (!dialUp && q.quantumSent == 0 && q.quantumReceived == 0))
            continue;
        if (logged(q.connectionType, name, q.quantumStart))
            continue; // killed between its record and this block's update
        if (dialUp)
            logger.logRASConnection(name, textOf(q.deviceType), textOf(q.deviceName), textOf(q.phoneNumber),
                                    textOf(q.userName), q.quantumStart, q.lastUpdate, q.quantumSent,
                                    q.quantumReceived);
        else
            logger.logLANConnection(name, q.quantumStart, q.lastUpdate, q.quantumSent, q.quantumReceived);
        ++recoveredCount;
    }
}

void QuantumStore::update(const std::vector<const Connection*>& connections)
{
    const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(connections.size(), QUANTUM_STORE_CAPACITY));
    for (std::uint32_t i = 0; i < count; ++i) {
        const Connection& c = *connections[i];
        StoredQuantum& q = data->quanta[i];
        putText(q.name, c.getName());
        putText(q.deviceType, c.getDeviceType());
        putText(q.deviceName, c.getDeviceName());
        putText(q.phoneNumber, c.getPhoneNumber());
        putText(q.userName, c.getUserName());
        q.connectionType = c.getConnectionType();
        q.quantumStart = c.getQuantumStart();
        q.lastUpdate = c.getLastUpdate();
        q.quantumSent = c.getQuantumSent();
        q.quantumReceived = c.getQuantumReceived();
    }
    data->count = count;
}

void QuantumStore::clear() { data->count = 0; }
