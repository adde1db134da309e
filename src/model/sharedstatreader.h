// The monitor's copy of the shared statistics table, brought up to date
// about once a second.
#pragma once

#include "common/sharedstatdata.h"
#include "platform/shared_memory.h"

#include <cstdint>
#include <functional>

class SharedStatisticsReader {
public:
    // How refresh waits for the service's pass to end before it copies
    // again; attempt counts from 0.
    using PassWait = std::function<void(int attempt)>;
    // Sleeps 1 ms, then longer up to 50 ms: a pass takes about a
    // millisecond, a service stopped in one (a debugger) is not spun for.
    static void sleepAWhile(int attempt);

    // Takes no lock: the service's alone is no reader's to hold.
    explicit SharedStatisticsReader(PassWait waitForPass = sleepAWhile);
    SharedStatisticsReader(const SharedStatisticsReader&) = delete;
    SharedStatisticsReader& operator=(const SharedStatisticsReader&) = delete;

    bool isMappingOk() const { return mapping.isMapped(); }
    // Copies the table when a service publishes it; lets go of a block that
    // is inactive or whose service died, and looks for one again next time.
    void refresh();
    std::uint32_t size() const { return copy.size; }
    const char* getName(std::uint32_t index) const;
    std::uint8_t getConnectionType(std::uint32_t index) const;
    std::uint64_t getQuantumSent(std::uint32_t index) const;
    std::uint64_t getQuantumReceived(std::uint32_t index) const;
    std::uint32_t getLastSent(std::uint32_t index) const;
    std::uint32_t getLastReceived(std::uint32_t index) const;
    bool isActive() const { return copy.active != 0; }
    // Whether a service held the table at the last refresh: also one that
    // has not published its first figures yet.
    bool hasService() const { return owned; }
    std::int32_t getLogVersion() const { return copy.logVersion; }

    // Set when the service wrote log records since the last copy (and on
    // the first copy); the owner clears it when it has acted on it.
    bool changed = true;

private:
    void open();
    void reset();
    const SharedStatEntry& entry(std::uint32_t index) const;

    PassWait waitForPass;
    platform::SharedMemory mapping;
    SharedStatData copy{};
    bool owned = false;
    bool toldForeign = false;
};
