#include "model/sharedstatreader.h"

#include "common/common.h"
#include "common/ltassert.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iostream>
#include <thread>


void SharedStatisticsReader::sleepAWhile(int attempt)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(1 << std::min(attempt, 6), 50)));
}

SharedStatisticsReader::SharedStatisticsReader(PassWait waitForPass) : waitForPass(std::move(waitForPass))
{
    reset();
    open();
}

void SharedStatisticsReader::open()
{
    mapping.openReadOnly(SHAREDSTAT_NAME, sizeof(SharedStatData));
    // Another account's block counts as no service, said once.
    if (!mapping.foreignBlock().empty() && !toldForeign) {
        std::cerr << mapping.foreignBlock() << "\n";
        toldForeign = true;
    }
}

void SharedStatisticsReader::reset()
{
    copy.logVersion = -1;
    copy.size = 0;
    copy.active = 0;
}

void SharedStatisticsReader::refresh()
{
    LT_ASSERT_TEXT(isMappingOk() || !mapping.hasHandle(), "isMappingOk() || (hFileMap == NULL)");
    owned = false;
    if (!isMappingOk())
        open();
    if (isMappingOk()) {
        const auto* block = static_cast<const SharedStatData*>(mapping.data());
        // No lock: a copy is taken again while the service is in a pass (a
        // millisecond or so), for as long as it lives, as a lock would wait.
        SharedStatData fresh{};
        for (int attempt = 0; (owned = mapping.hasOwner()) && !copyCompletedPass(*block, fresh); ++attempt)
            waitForPass(attempt);
        // A block whose service was killed stays marked active: without a
        // living owner it counts as inactive, not as frozen figures.
        if (owned && fresh.active) {
            if (fresh.logVersion != copy.logVersion)
                changed = true;
            copy = fresh;
            // Guards the accessors against a table that claims more entries.
            if (copy.size > SHAREDSTAT_SIZE)
                copy.size = SHAREDSTAT_SIZE;
            for (SharedStatEntry& e : copy.table)
                e.name[sizeof e.name - 1] = '\0';
        } else {
            reset();
            mapping.close();
        }
    }
    if (!isMappingOk())
        reset();
}

const SharedStatEntry& SharedStatisticsReader::entry(std::uint32_t index) const
{
    LT_ASSERT(index < size());
    return copy.table[index];
}

const char* SharedStatisticsReader::getName(std::uint32_t index) const { return entry(index).name; }

std::uint8_t SharedStatisticsReader::getConnectionType(std::uint32_t index) const
{
    return entry(index).connectionType;
}

std::uint64_t SharedStatisticsReader::getQuantumSent(std::uint32_t index) const { return entry(index).quantumSent; }

std::uint64_t SharedStatisticsReader::getQuantumReceived(std::uint32_t index) const
{
    return entry(index).quantumReceived;
}

std::uint32_t SharedStatisticsReader::getLastSent(std::uint32_t index) const { return entry(index).lastSent; }

std::uint32_t SharedStatisticsReader::getLastReceived(std::uint32_t index) const
{
    return entry(index).lastReceived;
}
