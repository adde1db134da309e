#include "service/statcollector.h"

#include "common/common.h"
#include "common/dbglogger.h"
#include "common/ltassert.h"
#include "log/conlogger.h"
#include "service/connection.h"
#include "service/quantumstore.h"
#include "service/statholder.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <thread>

namespace {

void fillEntry(SharedStatEntry& entry, const Connection& c)
{
    entry.UID = c.getUID();
    std::memset(entry.name, 0, sizeof entry.name);
    std::memcpy(entry.name, c.getName().data(), std::min(c.getName().size(), sizeof entry.name));
    entry.name[sizeof entry.name - 1] = '\0';
    entry.connectionType = c.getConnectionType();
    entry.quantumSent = c.getQuantumSent();
    entry.quantumReceived = c.getQuantumReceived();
    entry.lastSent = c.getLastSent();
    entry.lastReceived = c.getLastReceived();
}

void updateEntry(SharedStatEntry& entry, const Connection& c)
{
    entry.quantumSent = c.getQuantumSent();
    entry.quantumReceived = c.getQuantumReceived();
    entry.lastSent = c.getLastSent();
    entry.lastReceived = c.getLastReceived();
}

} // namespace

StatisticsCollector::StatisticsCollector(DbgLogger* dbgLogger, ConnectionLogger* conLogger, RasConBuffer* conBuffer,
                                         RasProvider& ras)
    : StopableThread(dbgLogger, "StatisticsCollector"), conLogger(conLogger)
{
    LT_ASSERT(conBuffer);
    LT_ASSERT(conLogger);
    statHolder = std::make_unique<StatisticsHolder>(conBuffer, conLogger, dbgLogger, ras);
    createSharedStatistics();
}

StatisticsCollector::~StatisticsCollector()
{
    stopAndWait();
    // The block is inactive by now (AfterLoop); its name goes, under the
    // mutex, so that the next service makes a block of its own even while
    // monitors still hold this one.
    if (sharedStat) {
        try {
            platform::NamedLockGuard locked(*mutex);
            conLogger->flushHeld();
            if (quanta)
                quanta->removeName();
            mapping.removeName();
            mapping.close();
        } catch (const LTException&) {
            if (quanta) // without the mutex rather than not at all
                quanta->removeName();
            mapping.removeName();
        }
    }
}

void StatisticsCollector::createSharedStatistics()
{
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
    initNullDaclSecurity(descriptor, attributes);
    // Not in a folder where another account could make the table or its
    // lock first.
    platform::prepareServiceIpcFolder();
    mutex = std::make_unique<platform::NamedLock>(openStatisticsMutex());
    platform::NamedLockGuard locked(*mutex);
    mapping.create(SHAREDSTAT_NAME, sizeof(SharedStatData), &attributes);
    sharedStat = static_cast<SharedStatData*>(mapping.data());
    const SharedStatUpdate updating(*sharedStat);
    // What an earlier service could not write, then the running hour of a
    // service that was killed, go to the log before this one samples
    // anything: its quanta start where that one's ended.
    conLogger->takePending();
    quanta = std::make_unique<QuantumStore>(*conLogger);
    if (quanta->recovered() > 0) {
        ++logCounter;
        if (dbgLogger)
            dbgLogger->log("StatisticsCollector - " + std::to_string(quanta->recovered()) +
                           " records of a service that ended without a stop logged\n");
    }
    sharedStat->size = 0;
    sharedStat->logVersion = logCounter;
    sharedStat->active = 0;
}

void StatisticsCollector::pass()
{
    try {
        platform::NamedLockGuard locked(*mutex);
        // From the first record logged to the table published, readers see
        // the pass as one change.
        const SharedStatUpdate updating(*sharedStat);
        statHolder->update();
        bool written = false;
        for (int i = 0; i < statHolder->size(); ++i) {
            Connection* c = statHolder->connection(i);
            if (c->isDisconnected()) {
                c->log(conLogger);
                written = true;
            } else if (c->quantumChanged(quantumsPerDay)) {
                c->log(conLogger);
                c->startNewQuantum();
                written = true;
            }
        }
        statHolder->removeDisconnected();
        if (written)
            ++logCounter;
        sharedStat->active = 1;
        sharedStat->logVersion = logCounter;
        publish();
        std::vector<const Connection*> all;
        for (int i = 0; i < statHolder->size(); ++i)
            all.push_back(statHolder->connection(i));
        quanta->update(all);
    } catch (...) {
        if (dbgLogger)
            dbgLogger->log("StatisticsCollector::DoInLoop() - Exception\n");
    }
}

void StatisticsCollector::DoInLoop()
{
    pass();
    std::this_thread::sleep_for(std::chrono::milliseconds(COLLECTOR_PERIOD));
}

std::vector<const Connection*> StatisticsCollector::publishedConnections()
{
    ++passes;
    std::map<int, Traffic> now;
    std::vector<const Connection*> all;
    for (int i = 0; i < statHolder->size(); ++i) {
        const Connection* c = statHolder->connection(i);
        all.push_back(c);
        const Traffic before = traffic[c->getUID()];
        Traffic& t = now[c->getUID()];
        t.bytes = c->getQuantumSent() + c->getQuantumReceived();
        // A new quantum starts small again: traffic in it is growth too.
        t.grewInPass = t.bytes > before.bytes || (t.bytes > 0 && t.bytes < before.bytes) ? passes : before.grewInPass;
    }
    traffic = std::move(now); // forgets the connections that ended
    if (all.size() > static_cast<std::size_t>(SHAREDSTAT_SIZE))
        chooseShown(all);
    shown.clear();
    for (const Connection* c : all)
        shown.insert(c->getUID());
    return all;
}

void StatisticsCollector::chooseShown(std::vector<const Connection*>& all) const
{
    // Among links busy in the same pass, those shown already stay: a link
    // that comes and goes would make the monitors' traces jump.
    auto rank = [&](const Connection* c) {
        if (c->getConnectionType() == RAS_CONNECTION)
            return std::make_pair(std::numeric_limits<std::int64_t>::max(), true);
        const Traffic& t = traffic.at(c->getUID());
        return std::make_pair(t.bytes > 0 ? t.grewInPass : -1, shown.count(c->getUID()) > 0);
    };
    std::stable_sort(all.begin(), all.end(), [&](const Connection* a, const Connection* b) { return rank(a) > rank(b); });
    all.resize(SHAREDSTAT_SIZE);
}

void StatisticsCollector::publish()
{
    LT_ASSERT(sharedStat != NULL);
    const std::vector<const Connection*> shown = publishedConnections();
    const auto count = static_cast<std::uint32_t>(shown.size());
    bool rebuild = count != sharedStat->size;
    for (std::uint32_t i = 0; i < count && !rebuild; ++i)
        rebuild = shown[i]->getUID() != sharedStat->table[i].UID;
    LT_ASSERT(count <= SHAREDSTAT_SIZE);
    sharedStat->size = count;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (rebuild)
            fillEntry(sharedStat->table[i], *shown[i]);
        else
            updateEntry(sharedStat->table[i], *shown[i]);
    }
}

void StatisticsCollector::AfterLoop()
{
    platform::NamedLockGuard locked(*mutex);
    const SharedStatUpdate updating(*sharedStat);
    if (statHolder->size() > 0) {
        for (int i = 0; i < statHolder->size(); ++i)
            statHolder->connection(i)->log(conLogger);
        ++logCounter;
    }
    quanta->clear();
    sharedStat->size = 0;
    sharedStat->active = 0;
    sharedStat->logVersion = logCounter;
}
