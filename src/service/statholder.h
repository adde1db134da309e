// The machine's current connections, sampled once per collector pass: the
// dial-up connections of the connection buffer and the operational LAN
// interfaces of the interface table.
#pragma once

#include "common/lanstatcollector.h"
#include "platform/ras.h"

#include <memory>
#include <string>
#include <vector>

class Connection;
class ConnectionLogger;
class DbgLogger;
class RasConBuffer;

class StatisticsHolder {
public:
    // Samples dial-up connections through ras, which must outlive the
    // holder. Throws the LanStatisticsCollector's LTException when the
    // interface table cannot be had.
    StatisticsHolder(RasConBuffer* conBuffer, ConnectionLogger* conLogger, DbgLogger* dbgLogger, RasProvider& ras);
    ~StatisticsHolder();
    StatisticsHolder(const StatisticsHolder&) = delete;
    StatisticsHolder& operator=(const StatisticsHolder&) = delete;

    // One sampling pass.
    void update();
    int size() const { return static_cast<int>(connections.size()); }
    Connection* connection(int index) const;
    // Deletes the connections marked disconnected; the others keep their order.
    void removeDisconnected();

private:
    void updateRASConnections();
    int findRASConnection(HRASCONN handle) const;
    void initRASConnection(Connection& ci);
    std::string requestPhoneNumber(const Connection& ci);
    void RAS_ReadStatistics();
    void LAN_ReadStatistics();
    int findInterface(const Connection& ci, const std::vector<bool>& unmatched) const;
    void trace(const std::string& message) const;

    DbgLogger* dbgLogger;
    RasProvider& ras;
    RasConBuffer& conBuffer;
    LanStatisticsCollector lanCollector;
    [[maybe_unused]] ConnectionLogger* conLogger; // held for the owner; the collector writes the log
    RAS_STATS rasStats{};
    std::vector<std::unique_ptr<Connection>> connections;
    int passNumber = 0;
};
