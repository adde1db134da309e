// A lock-guarded copy of the active dial-up connections: the observer
// thread rewrites it on every connection change, the collector reads it.
#pragma once

#include "platform/ras.h"

#include <memory>
#include <shared_mutex>

class DbgLogger;

class RasConBuffer {
public:
    // Enumerates through ras, which must outlive the buffer.
    RasConBuffer(RasProvider& ras, DbgLogger* dbgLogger);
    RasConBuffer(const RasConBuffer&) = delete;
    RasConBuffer& operator=(const RasConBuffer&) = delete;

    // Enumerates the connections again (up to six tries); empties the
    // buffer when every try failed.
    void refresh();
    void beginRead();
    void endRead();
    // Between beginRead and endRead only.
    int count() const { return entryCount; }
    const RASCONN* item(int index) const;

private:
    void resize(int n);

    std::unique_ptr<RASCONN[]> entries;
    int entryCount = 0;
    int capacity = 0;
    std::shared_mutex lock;
    RasProvider& ras;
    DbgLogger* dbgLogger;
};

// Holds the buffer's read lock for one scope.
class RasConBufferReading {
public:
    explicit RasConBufferReading(RasConBuffer& buffer) : buffer(buffer) { buffer.beginRead(); }
    ~RasConBufferReading() { buffer.endRead(); }
    RasConBufferReading(const RasConBufferReading&) = delete;
    RasConBufferReading& operator=(const RasConBufferReading&) = delete;

private:
    RasConBuffer& buffer;
};
