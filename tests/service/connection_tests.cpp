#include "log/conlogger.h"
#include "model/datamodel.h"
#include "service/connection.h"
#include "testenv.h"

#include <gtest/gtest.h>

namespace {

const TDateTime day = EncodeDate(2026, 12, 8);
TDateTime at(int h, int n, int s, int ms = 0) { return day + EncodeTime(h, n, s, ms); }

// The records a connection leaves, read back from a real log file.
struct Log {
    std::string path = testenv::freshFolder("connection") + "/cn.log";
    ConnectionLogger logger{nullptr, path};
    std::vector<LogRecordFields> records;
    std::vector<std::string> names, phones;
    const std::vector<LogRecordFields>& read()
    {
        records.clear();
        names.clear();
        phones.clear();
        LogReader reader(path);
        LogRecordFields r;
        while (reader.readRecord(r)) {
            names.emplace_back(r.entryName);
            phones.emplace_back(r.phoneNumber);
            records.push_back(r);
        }
        return records;
    }
};

struct Clock {
    ~Clock() { ClearFixedNow(); }
    void set(TDateTime t) { SetFixedNow(t); }
};

} // namespace

TEST(Connection, takes_the_first_sample_as_baseline_and_counts_through_a_32_bit_wrap)
{
    Clock clock;
    clock.set(at(9, 0, 0));
    resetConnectionUIDs();
    Connection lan("eth0", 1, 7);
    Connection ras(42, 1, "/etc/ppp/peers", "isp", "modem", "USR");
    EXPECT_EQ(lan.getUID(), 1);
    EXPECT_EQ(ras.getUID(), 2);
    lan.updateCounters(4294967040u, 1000); // 2^32 - 256
    EXPECT_EQ(lan.getQuantumSent(), 0u);
    lan.setLastSeen(2);
    EXPECT_FALSE(lan.getIsNew());
    lan.updateCounters(256, 1000);
    EXPECT_EQ(lan.getQuantumSent(), 512u);
    EXPECT_EQ(lan.getQuantumReceived(), 0u);
    lan.setLastSeen(2); // the same pass again changes nothing
    EXPECT_EQ(lan.getLastSeen(), 2);
}

TEST(Connection, changes_quantum_with_the_hour_the_day_or_a_whole_day_between)
{
    Clock clock;
    EXPECT_EQ(Connection::quantumIndex(24, at(12, 0, 0)), 12);
    EXPECT_EQ(Connection::quantumIndex(24, at(23, 59, 59, 999)), 23);
    struct Case {
        TDateTime first, second;
        bool changed;
    } cases[] = {
        {at(10, 59, 59, 500), at(11, 0, 0, 500), true},
        {at(10, 0, 1), at(10, 59, 59, 999), false},
        {at(23, 59, 59, 500), at(0, 0, 0, 500) + 1, true},
        {at(10, 10, 0), at(10, 20, 0) + 1, true}, // a day later in the same hour
    };
    for (const Case& c : cases) {
        clock.set(c.first);
        Connection ci("eth0", 1);
        clock.set(c.second);
        ci.updateCounters(0, 0);
        EXPECT_EQ(ci.quantumChanged(24), c.changed) << FormatDateTime("dd/mm hh:nn:ss.zzz", c.second);
    }
}

TEST(Connection, logs_a_quantum_from_its_start_to_the_sample_that_ended_it)
{
    Clock clock;
    Log log;
    clock.set(at(10, 30, 0));
    Connection ci("eth0", 1);
    ci.updateCounters(1000, 2000); // baseline
    ci.setLastSeen(2);
    clock.set(at(10, 59, 59, 500));
    ci.updateCounters(1500, 2100);
    clock.set(at(11, 0, 0, 500));
    ci.updateCounters(1600, 2100);
    ASSERT_TRUE(ci.quantumChanged(24));
    ci.log(&log.logger);
    ci.startNewQuantum();
    EXPECT_EQ(ci.getQuantumStart(), at(11, 0, 0, 500));
    ASSERT_EQ(log.read().size(), 1u);
    EXPECT_EQ(log.records[0].start, at(10, 30, 0));
    EXPECT_EQ(log.records[0].end, at(11, 0, 0, 500));
    EXPECT_EQ(log.records[0].sent, 600u);
    EXPECT_EQ(log.records[0].received, 100u);
}

TEST(Connection, leaves_no_record_for_an_idle_lan_quantum_but_one_for_an_idle_dial_up_one)
{
    Clock clock;
    Log log;
    clock.set(at(8, 0, 0));
    Connection lan("eth0", 1);
    Connection ras(42, 1, "/etc/ppp/peers", "isp", "modem", "USR");
    Connection neverSampled(43, 1, "/etc/ppp/peers", "gone", "modem", "USR");
    ras.setPhoneNumber("5551234");
    clock.set(at(8, 0, 1));
    lan.updateCounters(5, 5);
    ras.updateCounters(5, 5);
    clock.set(at(9, 0, 1));
    lan.log(&log.logger);
    ras.log(&log.logger);
    neverSampled.log(&log.logger);
    ASSERT_EQ(log.read().size(), 1u);
    EXPECT_EQ(log.names[0], "isp");
    EXPECT_EQ(log.phones[0], "5551234");
    EXPECT_EQ(log.records[0].sent, 0u);
    EXPECT_EQ(log.records[0].start, at(8, 0, 0));
    EXPECT_EQ(log.records[0].end, at(8, 0, 1));
}
