// The shared statistics table: the live figures of every current
// connection, published by the service and copied by the monitor. Both
// programs agree on every byte of it.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr const char* SHAREDSTAT_NAME = "Global\\LINKTALLY_1.3.1_STATISTICS";
inline constexpr int SHAREDSTAT_SIZE = 10;

struct SharedStatEntry {
    std::int32_t UID;
    char name[256]; // NUL-terminated, zero-padded; byte 255 always 0
    std::uint8_t connectionType;
    std::uint8_t padding[3];
    std::uint64_t quantumSent;
    std::uint64_t quantumReceived;
    std::uint32_t lastSent;
    std::uint32_t lastReceived;
};

struct SharedStatData {
    std::int32_t logVersion;
    std::uint32_t size;
    std::uint8_t active;
    std::uint8_t padding[3];
    // Odd while the service changes the table or appends to the log: readers
    // take no lock (a lock every account could take, any account could also
    // hold for ever), they copy the table again when this moved meanwhile.
    // It stands in bytes no earlier reader looks at.
    std::uint32_t sequence;
    SharedStatEntry table[SHAREDSTAT_SIZE];
};

static_assert(sizeof(SharedStatEntry) == 288);
static_assert(offsetof(SharedStatEntry, UID) == 0);
static_assert(offsetof(SharedStatEntry, name) == 4);
static_assert(offsetof(SharedStatEntry, connectionType) == 260);
static_assert(offsetof(SharedStatEntry, quantumSent) == 264);
static_assert(offsetof(SharedStatEntry, quantumReceived) == 272);
static_assert(offsetof(SharedStatEntry, lastSent) == 280);
static_assert(offsetof(SharedStatEntry, lastReceived) == 284);
static_assert(sizeof(SharedStatData) == 2896);
static_assert(offsetof(SharedStatData, logVersion) == 0);
static_assert(offsetof(SharedStatData, size) == 4);
static_assert(offsetof(SharedStatData, active) == 8);
static_assert(offsetof(SharedStatData, sequence) == 12);
static_assert(offsetof(SharedStatData, table) == 16);

// The service's side: the table counts as changing from construction to
// destruction, also when an exception leaves between.
class SharedStatUpdate {
public:
    explicit SharedStatUpdate(SharedStatData& block);
    ~SharedStatUpdate();
    SharedStatUpdate(const SharedStatUpdate&) = delete;
    SharedStatUpdate& operator=(const SharedStatUpdate&) = delete;

private:
    SharedStatData& block;
};

// The readers' side: copies the block into out and tells whether the copy is
// of one completed pass (false while the service is in a pass, or when one
// began during the copy).
bool copyCompletedPass(const SharedStatData& block, SharedStatData& out);
