// The running quanta of every connection, kept beside the live table in a
// block of our own, so that a service killed without a stop (kill -9, a
// crash) loses no hour: the next service logs what that block held before
// it starts metering. The live table keeps its layout; this block is read
// by no monitor.
#pragma once

#include "common/datetime.h"
#include "platform/shared_memory.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class Connection;
class ConnectionLogger;

inline constexpr const char* QUANTUM_STORE_NAME = "Global\\LINKTALLY_1.3.1_QUANTA";

struct StoredQuantum {
    char name[256]; // NUL-terminated, as in the live table
    char deviceType[17];
    char deviceName[129];
    char phoneNumber[129];
    char userName[257];
    std::uint8_t connectionType;
    std::uint8_t padding[11];
    double quantumStart;
    double lastUpdate;
    std::uint64_t quantumSent;
    std::uint64_t quantumReceived;
};

inline constexpr std::uint32_t QUANTUM_STORE_MAGIC = 0x3151544C; // "LTQ1"
inline constexpr std::uint32_t QUANTUM_STORE_CAPACITY = 64;

struct QuantumStoreData {
    std::uint32_t magic;
    std::uint32_t count;
    StoredQuantum quanta[QUANTUM_STORE_CAPACITY];
};

static_assert(sizeof(StoredQuantum) == 832);
static_assert(offsetof(StoredQuantum, connectionType) == 788);
static_assert(offsetof(StoredQuantum, quantumStart) == 800);
static_assert(offsetof(StoredQuantum, quantumReceived) == 824);
static_assert(sizeof(QuantumStoreData) == 8 + 64 * 832);

class QuantumStore {
public:
    // Whether a record of that connection starting then is in the log already.
    using Logged = std::function<bool(unsigned char type, const std::string& name, TDateTime start)>;

    // Creates the block (as the live table's is created). A block whose
    // service died is read first: each quantum it held with traffic, and
    // every dial-up one, is logged unless the log has it already; the count
    // of records written is recovered(). Throws LTException as
    // SharedMemory::create.
    QuantumStore(ConnectionLogger& logger, const Logged& logged);
    std::size_t recovered() const { return recoveredCount; }

    // Holds every connection's running quantum (the first 64). Called in the
    // collector's pass, under the statistics mutex.
    void update(const std::vector<const Connection*>& connections);
    // Nothing held: a stopping service has logged it all.
    void clear();
    // The block's name goes, as the live table's does.
    void removeName() { mapping.removeName(); }

private:
    void recover(const std::vector<unsigned char>& leftBehind, ConnectionLogger& logger, const Logged& logged);

    platform::SharedMemory mapping;
    QuantumStoreData* data = nullptr;
    std::size_t recoveredCount = 0;
};
