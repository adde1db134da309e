// The running quanta of the connections, kept beside the live table in a
// block of our own, so that a service killed without a stop (kill -9, a
// crash) loses no record of them: the next service logs what the block held
// before it starts metering. Only the traffic after the dead service's last
// pass is lost. The live table keeps its layout; no monitor reads this block.
#pragma once

#include "platform/shared_memory.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class Connection;
class ConnectionLogger;

inline constexpr const char* QUANTUM_STORE_NAME = "Global\\LINKTALLY_1.3.1_QUANTA";

struct StoredQuantum {
    char name[257]; // NUL-terminated: an entry name has up to 256 bytes
    char deviceType[17];
    char deviceName[129];
    char phoneNumber[129];
    char userName[257];
    std::uint8_t connectionType;
    std::uint8_t padding[10];
    double quantumStart;
    double lastUpdate;
    std::uint64_t quantumSent;
    std::uint64_t quantumReceived;
};

inline constexpr std::uint32_t QUANTUM_STORE_MAGIC = 0x3251544C; // "LTQ2"
inline constexpr std::uint32_t QUANTUM_STORE_CAPACITY = 64;

// Two copies: a pass writes the one not in use and then turns to it, so
// that a kill in the middle of a pass leaves the last whole copy.
struct QuantumStoreData {
    std::uint32_t magic;
    std::uint32_t current; // 0 or 1: the copy in use
    std::uint32_t count[2];
    StoredQuantum quanta[2][QUANTUM_STORE_CAPACITY];
};

static_assert(sizeof(StoredQuantum) == 832);
static_assert(offsetof(StoredQuantum, connectionType) == 789);
static_assert(offsetof(StoredQuantum, quantumStart) == 800);
static_assert(offsetof(StoredQuantum, quantumReceived) == 824);
static_assert(offsetof(QuantumStoreData, quanta) == 16);
static_assert(sizeof(QuantumStoreData) == 16 + 2 * 64 * 832);

class QuantumStore {
public:
    // Creates the block (only this account may read or write it). A block
    // whose service died is read first: each quantum it held goes to the
    // log unless the log's last record of that connection is that quantum's
    // already. The quanta stay in the block until they are all logged, so
    // that a kill during this loses none. Throws LTException as
    // SharedMemory::create.
    explicit QuantumStore(ConnectionLogger& logger);
    std::size_t recovered() const { return recoveredCount; }

    // Keeps the running quantum of every connection that would leave a
    // record if it ended now (the first 64 of them). Called in the
    // collector's pass, under the statistics mutex.
    void update(const std::vector<const Connection*>& connections);
    // Nothing held: a stopping service has logged it all.
    void clear();
    void removeName() { mapping.removeName(); }

private:
    void recover(ConnectionLogger& logger);

    platform::SharedMemory mapping;
    QuantumStoreData* data = nullptr;
    std::size_t recoveredCount = 0;
};
