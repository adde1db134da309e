// The service's working thread: once a second it samples every connection,
// logs finished quanta and ended connections, and publishes the live table.
#pragma once

#include "common/sharedstatdata.h"
#include "platform/named_lock.h"
#include "platform/shared_memory.h"
#include "service/stopablethread.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

class Connection;
class ConnectionLogger;
class QuantumStore;
class RasConBuffer;
class RasProvider;
class StatisticsHolder;

class StatisticsCollector : public StopableThread {
public:
    // Creates the shared table (inactive); its holder samples dial-up
    // connections through ras, which must outlive the collector. Throws
    // LTException when the interface table or the shared table cannot be
    // had, among them "FileMapping already exists!" while another service runs.
    StatisticsCollector(DbgLogger* dbgLogger, ConnectionLogger* conLogger, RasConBuffer* conBuffer, RasProvider& ras);
    ~StatisticsCollector() override;

    // One pass under the statistics mutex (DoInLoop without its sleep).
    void pass();
    const StatisticsHolder& holder() const { return *statHolder; }
    const SharedStatData& table() const { return *sharedStat; }

protected:
    void DoInLoop() override;
    void AfterLoop() override;

private:
    void createSharedStatistics();
    void publish();
    // The connections the table shows, at most its ten: all of them in
    // creation order while they fit; beyond that dial-up links first, then
    // links with traffic in their current quantum (most recent traffic
    // first), then the rest in creation order, so that the link in use is
    // never left out. Every connection is logged all the same.
    std::vector<const Connection*> publishedConnections();
    // Puts the ten to show first and drops the rest.
    void chooseShown(std::vector<const Connection*>& all) const;

    ConnectionLogger* conLogger;
    std::unique_ptr<StatisticsHolder> statHolder;
    // Declared so that they close in the order view and mapping, mutex, holder.
    std::unique_ptr<platform::NamedLock> mutex;
    platform::SharedMemory mapping;
    SharedStatData* sharedStat = nullptr;
    std::unique_ptr<QuantumStore> quanta;
    int logCounter = 0;
    // Per connection (UID): its quantum's bytes at the last pass and the
    // pass in which they last grew.
    struct Traffic {
        std::uint64_t bytes = 0;
        std::int64_t grewInPass = -1;
    };
    std::map<int, Traffic> traffic;
    std::set<int> shown; // UIDs of the table at the last pass
    std::int64_t passes = 0;
};
