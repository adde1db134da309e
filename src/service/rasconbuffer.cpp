#include "service/rasconbuffer.h"

#include "common/dbglogger.h"

#include <algorithm>
#include <mutex>

RasConBuffer::RasConBuffer(RasProvider& ras, DbgLogger* dbgLogger) : ras(ras), dbgLogger(dbgLogger) { resize(1); }

void RasConBuffer::resize(int n)
{
    // At least one record, which carries the size field of the next call;
    // the new block is made before the old one goes, so a failed allocation
    // leaves the buffer as it was.
    n = std::max(n, 1);
    std::unique_ptr<RASCONN[]> block(new RASCONN[static_cast<std::size_t>(n)]());
    entries = std::move(block);
    capacity = n;
}

void RasConBuffer::refresh()
{
    std::unique_lock writing(lock);
    for (int call = 0; call < 6; ++call) {
        DWORD bytes = static_cast<DWORD>(capacity) * sizeof(RASCONN);
        DWORD connections = 0;
        entries[0].dwSize = sizeof(RASCONN);
        const DWORD result = RasEnumConnectionsA(ras, entries.get(), &bytes, &connections);
        if (result == 0) {
            entryCount = std::min(static_cast<int>(connections), capacity);
            return;
        }
        if (result == ERROR_BUFFER_TOO_SMALL)
            resize(static_cast<int>(bytes / sizeof(RASCONN)));
    }
    if (dbgLogger)
        dbgLogger->log("RasConBuffer failed to enum connections!\n");
    entryCount = 0;
}

void RasConBuffer::beginRead() { lock.lock_shared(); }

void RasConBuffer::endRead() { lock.unlock_shared(); }

const RASCONN* RasConBuffer::item(int index) const
{
    return index >= 0 && index < entryCount ? &entries[static_cast<std::size_t>(index)] : nullptr;
}
