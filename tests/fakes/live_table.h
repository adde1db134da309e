// A service's side of the shared statistics table, made by hand in the
// test's own IPC folder, for the monitor's readers.
#pragma once

#include "common/sharedstatdata.h"
#include "platform/shared_memory.h"
#include "testenv.h"

#include <cstring>

struct LiveTable {
    std::string folder = testenv::freshFolder("ipc");
    testenv::ScopedEnv ipc{"LINKTALLY_IPC_DIR", folder.c_str()};
    platform::SharedMemory memory;
    SharedStatData* data;

    LiveTable()
    {
        memory.create(SHAREDSTAT_NAME, sizeof(SharedStatData), nullptr);
        data = static_cast<SharedStatData*>(memory.data());
        data->active = 1;
    }
    // Replaces the rows: name, quantum sent and received, raw counters.
    struct Row {
        const char* name;
        std::uint64_t quantumSent, quantumReceived;
        std::uint32_t lastSent, lastReceived;
    };
    void rows(std::initializer_list<Row> rows, std::int32_t logVersion = 0)
    {
        data->size = 0;
        data->logVersion = logVersion;
        for (const Row& r : rows) {
            SharedStatEntry& e = data->table[data->size++];
            std::memset(e.name, 0, sizeof e.name);
            std::strncpy(e.name, r.name, sizeof e.name - 1);
            e.quantumSent = r.quantumSent;
            e.quantumReceived = r.quantumReceived;
            e.lastSent = r.lastSent;
            e.lastReceived = r.lastReceived;
        }
    }
};
