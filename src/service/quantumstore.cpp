#include "service/quantumstore.h"

#include "common/common.h"
#include "log/conlogger.h"
#include "platform/named_objects.h"
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

QuantumStore::QuantumStore(ConnectionLogger& logger)
{
    platform::SecurityDescriptor descriptor{0600};
    platform::SecurityAttributes attributes{&descriptor, false};
    std::vector<unsigned char> leftBehind;
    mapping.create(QUANTUM_STORE_NAME, sizeof(QuantumStoreData), &attributes, &leftBehind);
    data = static_cast<QuantumStoreData*>(mapping.data());
    // A new block is all zero and not read: a read would map a run of its
    // pages at once, where a pass writes only a few.
    if (leftBehind.size() == sizeof(QuantumStoreData)) {
        std::memcpy(data, leftBehind.data(), sizeof(QuantumStoreData));
        if (data->magic == QUANTUM_STORE_MAGIC && data->current < 2)
            recover(logger);
    }
    data->magic = QUANTUM_STORE_MAGIC;
    data->current = 0;
    data->count[0] = data->count[1] = 0;
}

void QuantumStore::recover(ConnectionLogger& logger)
{
    const std::uint32_t copy = data->current;
    const std::uint32_t count = std::min(data->count[copy], QUANTUM_STORE_CAPACITY);
    for (std::uint32_t i = 0; i < count; ++i) {
        const StoredQuantum& q = data->quanta[copy][i];
        const std::string name = textOf(q.name);
        if (!quantumLeavesRecord(q.connectionType, q.quantumStart, q.lastUpdate, q.quantumSent, q.quantumReceived))
            continue;
        if (logger.lastRecordStartsAt(q.connectionType, name, q.quantumStart))
            continue; // logged before the kill came (or by a start it cut short)
        if (q.connectionType == RAS_CONNECTION)
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
    const std::uint32_t next = 1 - data->current;
    std::uint32_t count = 0;
    for (const Connection* c : connections) {
        if (count == QUANTUM_STORE_CAPACITY)
            break;
        if (!quantumLeavesRecord(c->getConnectionType(), c->getQuantumStart(), c->getLastUpdate(),
                                 c->getQuantumSent(), c->getQuantumReceived()))
            continue;
        StoredQuantum& q = data->quanta[next][count++];
        putText(q.name, c->getName());
        putText(q.deviceType, c->getDeviceType());
        putText(q.deviceName, c->getDeviceName());
        putText(q.phoneNumber, c->getPhoneNumber());
        putText(q.userName, c->getUserName());
        q.connectionType = c->getConnectionType();
        q.quantumStart = c->getQuantumStart();
        q.lastUpdate = c->getLastUpdate();
        q.quantumSent = c->getQuantumSent();
        q.quantumReceived = c->getQuantumReceived();
    }
    data->count[next] = count;
    __atomic_store_n(&data->current, next, __ATOMIC_RELEASE);
}

void QuantumStore::clear()
{
    const std::uint32_t next = 1 - data->current;
    data->count[next] = 0;
    __atomic_store_n(&data->current, next, __ATOMIC_RELEASE);
}
