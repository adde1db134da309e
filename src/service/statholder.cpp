#include "service/statholder.h"

#include "common/common.h"
#include "common/dbglogger.h"
#include "common/ltassert.h"
#include "service/connection.h"
#include "service/rasconbuffer.h"

#include <cstdio>
#include <cstring>

namespace {

std::string format(const char* pattern, const std::string& text, long long a, long long b)
{
    char message[600];
    std::snprintf(message, sizeof message, pattern, text.c_str(), static_cast<int>(a), static_cast<int>(b));
    return message;
}

} // namespace

StatisticsHolder::StatisticsHolder(RasConBuffer* conBuffer, ConnectionLogger* conLogger, DbgLogger* dbgLogger,
                                   RasProvider& ras)
    // Interfaces that are down are listed too: the pass that ends a
    // connection reads their counters, which still hold its last second.
    : dbgLogger(dbgLogger), ras(ras), conBuffer((LT_ASSERT(conBuffer), *conBuffer)), lanCollector(dbgLogger, false),
      conLogger(conLogger)
{
}

StatisticsHolder::~StatisticsHolder() = default;

void StatisticsHolder::trace(const std::string& message) const
{
    if (dbgLogger)
        dbgLogger->log(message);
}

Connection* StatisticsHolder::connection(int index) const
{
    LT_ASSERT_TEXT(index >= 0 && static_cast<std::size_t>(index) < connections.size(), "index < connections.size()");
    return connections[static_cast<std::size_t>(index)].get();
}

void StatisticsHolder::update()
{
    ++passNumber;
    updateRASConnections();
    RAS_ReadStatistics();
    LAN_ReadStatistics();
}

int StatisticsHolder::findRASConnection(HRASCONN handle) const
{
    for (std::size_t i = 0; i < connections.size(); ++i)
        if (connections[i]->getConnectionType() == RAS_CONNECTION && connections[i]->getHandle() == handle)
            return static_cast<int>(i);
    return -1;
}

void StatisticsHolder::updateRASConnections()
{
    {
        RasConBufferReading reading(conBuffer);
        for (int i = 0; i < conBuffer.count(); ++i) {
            const RASCONN* entry = conBuffer.item(i);
            const int found = findRASConnection(entry->hrasconn);
            if (found >= 0)
                connections[static_cast<std::size_t>(found)]->setLastSeen(passNumber);
            else
                connections.push_back(std::make_unique<Connection>(entry->hrasconn, passNumber, entry->szPhonebook,
                                                                   entry->szEntryName, entry->szDeviceType,
                                                                   entry->szDeviceName));
        }
    }
    for (const auto& ci : connections) {
        if (ci->getConnectionType() != RAS_CONNECTION)
            continue;
        if (ci->getIsNew())
            initRASConnection(*ci);
        if (ci->getLastSeen() != passNumber)
            ci->setDisconnected();
    }
}

void StatisticsHolder::initRASConnection(Connection& ci)
{
    RASDIALPARAMSA params{};
    params.dwSize = sizeof params;
    platform::ras::copyField(params.szEntryName, sizeof params.szEntryName, ci.getName());
    BOOL passwordStored = 0;
    const DWORD result = RasGetEntryDialParamsA(ras, ci.getPhonebook().c_str(), &params, &passwordStored);
    if (result != 0) {
        trace("StatisticsHolder::initRASConnection() - error #" + std::to_string(static_cast<int>(result)));
        return;
    }
    ci.setPhoneNumber(params.szPhoneNumber);
    ci.setUserName(params.szUserName);
    if (ci.getPhoneNumber().empty())
        ci.setPhoneNumber(requestPhoneNumber(ci));
    trace("StatisticsHolder::initRASConnection() - new connection " + ci.getName() + "\n" + ci.getDeviceType() +
          "\n" + ci.getDeviceName() + "\n" + ci.getPhoneNumber() + "\n" + ci.getUserName() + "\n");
}

std::string StatisticsHolder::requestPhoneNumber(const Connection& ci)
{
    LT_ASSERT_TEXT(ci.getConnectionType() == RAS_CONNECTION, "ci.getConnectionType() == RAS_CONNECTION");
    DWORD size = 0;
    RasGetEntryPropertiesA(ras, ci.getPhonebook().c_str(), ci.getName().c_str(), nullptr, &size, nullptr, nullptr);
    // A size below the record's (the entry vanished between the calls) must
    // not be written as a whole record: no phone number then.
    if (size < sizeof(RASENTRYA))
        return {};
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[size]());
    if (!block) {
        trace("StatisticsHolder::requestPhoneNumber() - GlobalAlloc failed");
        return {};
    }
    auto* entry = reinterpret_cast<RASENTRYA*>(block.get());
    entry->dwSize = sizeof(RASENTRYA);
    const DWORD result =
        RasGetEntryPropertiesA(ras, ci.getPhonebook().c_str(), ci.getName().c_str(), entry, &size, nullptr, nullptr);
    if (result != 0) {
        trace("StatisticsHolder::requestPhoneNumber() - error #" + std::to_string(static_cast<int>(result)));
        return {};
    }
    return std::string(entry->szLocalPhoneNumber, strnlen(entry->szLocalPhoneNumber, sizeof entry->szLocalPhoneNumber));
}

void StatisticsHolder::RAS_ReadStatistics()
{
    for (const auto& ci : connections) {
        if (ci->getConnectionType() != RAS_CONNECTION || ci->isDisconnected())
            continue;
        rasStats.dwSize = sizeof rasStats;
        const DWORD result = RasGetConnectionStatistics(ras, ci->getHandle(), &rasStats);
        if (result == 0) {
            ci->updateCounters(rasStats.dwBytesXmited, rasStats.dwBytesRcved);
            trace(format("StatisticsHolder::RAS_ReadStatistics() - %s sent %d received %d \n", ci->getName(),
                         rasStats.dwBytesXmited, rasStats.dwBytesRcved));
        } else if (result == ERROR_NO_CONNECTION) {
            ci->setDisconnected();
            trace("StatisticsHolder::RAS_ReadStatistics() - ERROR_NO_CONNECTION\n");
        } else {
            trace("StatisticsHolder::RAS_ReadStatistics() - Error #" + std::to_string(static_cast<int>(result)) +
                  "\n");
        }
    }
}

int StatisticsHolder::findInterface(const Connection& ci, const std::vector<bool>& unmatched) const
{
    // By name, as the interface table describes it, and by the interface's
    // index: a link destroyed and made again under the same name counts
    // from 0 and is another connection; an interface already matched is not
    // matched twice.
    for (int i = lanCollector.find(ci.getName()); i >= 0 && i < lanCollector.count(); ++i)
        if (unmatched[static_cast<std::size_t>(i)] && lanCollector.getIfIndex(i) == ci.getIfIndex() &&
            lanCollector.getName(i) == ci.getName())
            return i;
    return -1;
}

void StatisticsHolder::LAN_ReadStatistics()
{
    lanCollector.refresh();
    const int n = lanCollector.count();
    std::vector<bool> unmatched(static_cast<std::size_t>(n), true);
    for (const auto& ci : connections) {
        if (ci->getConnectionType() != LAN_CONNECTION || ci->isDisconnected())
            continue;
        const int i = findInterface(*ci, unmatched);
        if (i < 0) {
            ci->setDisconnected();
            trace("StatisticsHolder::LAN_ReadStatistics() - disconnected " + ci->getName() + "\n");
            continue;
        }
        ci->setLastSeen(passNumber);
        ci->updateCounters(lanCollector.getSentOctets(i), lanCollector.getReceivedOctets(i));
        trace(format("StatisticsHolder::LAN_ReadStatistics() - %s sent %d received %d \n", ci->getName(),
                     lanCollector.getSentOctets(i), lanCollector.getReceivedOctets(i)));
        unmatched[static_cast<std::size_t>(i)] = false;
        if (!lanCollector.isOperational(i)) {
            ci->setDisconnected();
            trace("StatisticsHolder::LAN_ReadStatistics() - disconnected " + ci->getName() + " (down)\n");
        }
    }
    for (int i = 0; i < n; ++i) {
        if (!unmatched[static_cast<std::size_t>(i)] || !lanCollector.isOperational(i))
            continue;
        auto ci = std::make_unique<Connection>(lanCollector.getName(i), passNumber, lanCollector.getIfIndex(i));
        ci->updateCounters(lanCollector.getSentOctets(i), lanCollector.getReceivedOctets(i));
        trace("StatisticsHolder::LAN_ReadStatistics() - new connection " + ci->getName() + "\n");
        connections.push_back(std::move(ci));
    }
}

void StatisticsHolder::removeDisconnected()
{
    std::erase_if(connections, [](const std::unique_ptr<Connection>& ci) { return ci->isDisconnected(); });
}
