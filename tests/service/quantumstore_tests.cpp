// The block of running quanta that a killed service leaves behind, and what
// the next one logs of it.
#include "common/common.h"
#include "log/conlogger.h"
#include "log/logreader.h"
#include "platform/named_objects.h"
#include "service/connection.h"
#include "service/quantumstore.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

const TDateTime hour = EncodeDate(2026, 12, 9) + 10.0 / 24;

struct Names {
    std::vector<std::string> names;
    std::vector<std::uint64_t> received;
};

Names logged(const std::string& path)
{
    Names n;
    LogReader reader(path);
    LogRecordFields r;
    while (reader.readRecord(r)) {
        n.names.emplace_back(r.entryName);
        n.received.push_back(r.received);
    }
    return n;
}

// A LAN connection sampled at the hour and again a minute later with the
// bytes received.
std::unique_ptr<Connection> lan(const std::string& name, DWORD received)
{
    SetFixedNow(hour);
    auto c = std::make_unique<Connection>(name, 1);
    c->updateCounters(0, 0); // the baseline
    c->setLastSeen(2);
    SetFixedNow(hour + 60.0 / SecsPerDay);
    c->updateCounters(0, received);
    return c;
}

} // namespace

TEST(QuantumStore, logs_what_a_dead_service_held_once_and_only_what_would_have_made_a_record)
{
    const std::string folder = testenv::freshFolder("quanta");
    testenv::ScopedEnv ipc{"LINKTALLY_IPC_DIR", folder.c_str()};
    const std::string path = folder + "/cn.log";
    const auto busy = lan("busy", 500), idle = lan("idle", 0), logged0 = lan("logged already", 7),
               later = lan("dated later", 9);
    {
        ConnectionLogger logger(nullptr, path);
        // "logged already" died after its record; "dated later" has a record
        // dated ahead of its quantum, which is no record of it.
        logger.logLANConnection("logged already", hour, hour + 60.0 / SecsPerDay, 0, 7);
        logger.logLANConnection("dated later", hour + 1, hour + 1.01, 0, 1);
        QuantumStore dying(logger);
        dying.update({busy.get(), idle.get(), logged0.get(), later.get()});
    } // no clear(): as a kill leaves it
    {
        ConnectionLogger logger(nullptr, path);
        QuantumStore next(logger);
        EXPECT_EQ(next.recovered(), 2u);
    }
    EXPECT_EQ(logged(path).names,
              (std::vector<std::string>{"logged already", "dated later", "busy", "dated later"}));
    EXPECT_EQ(logged(path).received.back(), 9u);
    {
        ConnectionLogger logger(nullptr, path); // the block was emptied: nothing twice
        EXPECT_EQ(QuantumStore(logger).recovered(), 0u);
    }
    std::ofstream(platform::namedObjectPath(QUANTUM_STORE_NAME), std::ios::binary | std::ios::trunc)
        << std::string(sizeof(QuantumStoreData), 'x'); // no block of ours
    ConnectionLogger logger(nullptr, path);
    EXPECT_EQ(QuantumStore(logger).recovered(), 0u);
    ClearFixedNow();
}
