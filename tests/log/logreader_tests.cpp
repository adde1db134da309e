// The monitor's reader of the connection log, over the model's records as
// the windows use it.
#include "common/common.h"
#include "common/dbglogger.h"
#include "common/sharedstatdata.h"
#include "log/conlogger.h"
#include "model/datamodel.h"
#include "platform/named_lock.h"
#include "platform/shared_memory.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/wait.h>
#include <unistd.h>

namespace {

const TDateTime D = 46364.0; // 2026-12-08

std::string logPath() { return testenv::freshFolder("log") + "/cn.log"; }

using Model = History;

std::vector<std::string> namesOf(const LogRecords& records, const DataList& entries)
{
    std::vector<std::string> names;
    for (int i = 0; i < records.size(); ++i)
        names.push_back(entries.nameOf(records.getRecord(i).getEntryId()));
    return names;
}

std::string failureOf(LogReader& reader, LogRecords& records)
{
    try {
        reader.readAll(records);
    } catch (const LTDataCorruptedException& e) {
        return e.what();
    }
    return "(none)";
}

} // namespace

TEST(LogReader, delivers_each_record_once_across_passes)
{
    const std::string path = logPath();
    ConnectionLogger logger(nullptr, path);
    Model m;
    LogReader reader(path);
    reader.readAll(m.records); // an empty log
    EXPECT_EQ(m.records.size(), 0);

    logger.logLANConnection("eth0", D + 0.5, D + 0.54, 1, 2);
    logger.logRASConnection("ISP", "modem", "USR", "555", "joe", D + 0.25, D + 0.3, 3, 4);
    reader.readAll(m.records);
    EXPECT_EQ(namesOf(m.records, m.entryNames), (std::vector<std::string>{"eth0", "ISP"}));
    EXPECT_EQ(m.records.getConnectionName(m.records.byStart().front()), "ISP");

    reader.readAll(m.records); // nothing new
    EXPECT_EQ(m.records.size(), 2);

    logger.logLANConnection("eth1", D + 0.6, D + 0.6, 5, 6);
    logger.logLANConnection("eth0", D + 0.1, D + 0.1, 7, 8);
    reader.readAll(m.records);
    EXPECT_EQ(namesOf(m.records, m.entryNames), (std::vector<std::string>{"eth0", "ISP", "eth1", "eth0"}));
    EXPECT_EQ(m.records.getRecord(3).getId(), 3);
    EXPECT_EQ(m.records.byStart().front(), &m.records.getRecord(3));

    Model fresh; // a new reader starts at the beginning
    LogReader(path).readAll(fresh.records);
    EXPECT_EQ(fresh.records.size(), 4);
}

TEST(LogReader, with_a_day_takes_records_from_its_midnight_to_the_next)
{
    const std::string path = logPath();
    {
        ConnectionLogger logger(nullptr, path);
        logger.logLANConnection("before", D - 0.0001, D, 0, 0);
        logger.logLANConnection("midnight", D, D, 0, 0);
        logger.logLANConnection("evening", D + 0.99, D + 0.99, 0, 0);
        logger.logLANConnection("next", D + 1, D + 1, 0, 0);
    }
    Model m;
    LogReader reader(path, D + EncodeTime(15, 30, 0, 0));
    reader.readAll(m.records);
    EXPECT_EQ(namesOf(m.records, m.entryNames), (std::vector<std::string>{"midnight", "evening"}));

    DataList names;
    LogReader(path, D).readEntryNames(names);
    EXPECT_EQ(names.size(), 2);
    DataList all;
    LogReader(path).readEntryNames(all);
    EXPECT_EQ(all.nameOf(3), "next");
}

TEST(LogReader, follows_its_path_to_a_log_made_anew_after_reading_the_old_one_to_its_end)
{
    const std::string path = logPath();
    Model m;
    LogReader reader(path);
    reader.readAll(m.records); // no log yet: nothing
    EXPECT_EQ(m.records.size(), 0);
    {
        ConnectionLogger logger(nullptr, path);
        logger.logLANConnection("first", D, D, 0, 0);
        reader.readAll(m.records); // the service made it
        logger.logLANConnection("last of the old", D, D, 0, 0);
        std::filesystem::rename(path, path + ".moved"); // the user moves it away; the service follows
        logger.logLANConnection("first of the new", D, D, 0, 0);
    }
    reader.readAll(m.records);
    EXPECT_EQ(namesOf(m.records, m.entryNames),
              (std::vector<std::string>{"first", "last of the old", "first of the new"}));
}

TEST(LogReader, ends_quietly_on_half_a_length_and_reads_the_frame_once_it_is_whole)
{
    const std::string path = logPath();
    { ConnectionLogger(nullptr, path).logLANConnection("eth0", D, D, 0, 0); }
    std::vector<unsigned char> next = testenv::readBytes(path); // the same record again...
    testenv::appendBytes(path, {next[0]});
    Model m;
    LogReader reader(path);
    reader.readAll(m.records);
    EXPECT_EQ(m.records.size(), 1);
    // ...completed later (as the service would after cutting the tail off).
    std::vector<unsigned char> whole = testenv::readBytes(path);
    whole.pop_back();
    testenv::writeBytes(path, whole);
    { ConnectionLogger(nullptr, path).logLANConnection("eth1", D, D, 0, 0); }
    reader.readAll(m.records);
    EXPECT_EQ(namesOf(m.records, m.entryNames), (std::vector<std::string>{"eth0", "eth1"}));
}

TEST(LogReader, reports_a_torn_frame_once_and_resumes_there_after_the_repair)
{
    const std::string path = logPath();
    {
        ConnectionLogger logger(nullptr, path);
        logger.logLANConnection("eth0", D, D, 0, 0);
        logger.logLANConnection("lost", D, D, 0, 0);
    }
    std::vector<unsigned char> torn = testenv::readBytes(path);
    torn.resize(torn.size() - 10); // power lost while the second frame was written
    testenv::writeBytes(path, torn);
    Model m;
    LogReader reader(path);
    EXPECT_EQ(failureOf(reader, m.records), "Unexpected end of file!");
    EXPECT_EQ(m.records.size(), 1); // records before the failure stay
    EXPECT_TRUE(m.records.byStart().empty()); // the pass ended before sorting
    EXPECT_EQ(failureOf(reader, m.records), "(none)"); // not again on every tick
    { ConnectionLogger(nullptr, path).logLANConnection("eth1", D, D, 0, 0); } // cuts, then appends
    EXPECT_EQ(failureOf(reader, m.records), "(none)");
    EXPECT_EQ(namesOf(m.records, m.entryNames), (std::vector<std::string>{"eth0", "eth1"}));
    EXPECT_EQ(m.records.byStart().size(), 2u);
}

TEST(LogReader, stands_after_a_corrupted_record_and_goes_on_with_the_next)
{
    const std::string path = logPath();
    {
        ConnectionLogger logger(nullptr, path);
        logger.logLANConnection("eth0", D, D, 0, 0);
        logger.logLANConnection("eth1", D, D, 0, 0);
        logger.logLANConnection("eth2", D, D, 0, 0);
    }
    std::vector<unsigned char> bytes = testenv::readBytes(path);
    bytes[43] ^= 0x07; // the second record's type byte becomes 7
    testenv::writeBytes(path, bytes);
    Model m;
    LogReader reader(path);
    EXPECT_EQ(failureOf(reader, m.records), "LogRecordBuffer::Unpack - data corrupted - wrong connection type");
    EXPECT_EQ(failureOf(reader, m.records), "(none)");
    EXPECT_EQ(namesOf(m.records, m.entryNames), (std::vector<std::string>{"eth0", "eth2"}));
}

TEST(LogReader, takes_no_lock_and_reads_a_frame_the_service_is_appending_once_it_is_whole)
{
    const std::string path = logPath();
    { ConnectionLogger logger(nullptr, path); logger.logLANConnection("eth0", D, D, 1, 2); }
    std::vector<unsigned char> bytes = testenv::readBytes(path);
    const std::vector<unsigned char> rest(bytes.end() - 3, bytes.end());
    bytes.resize(bytes.size() - 3);
    testenv::writeBytes(path, bytes);
    platform::NamedLock lock = openStatisticsMutex(); // a reader that waited for it would hang
    platform::NamedLockGuard held(lock);
    Model m;
    LogReader reader(path);
    int waits = 0;
    reader.setAppendWait([&](const platform::FileReader&, std::int64_t) {
        ++waits; // the service ends its append meanwhile
        std::ofstream(path, std::ios::app | std::ios::binary)
            .write(reinterpret_cast<const char*>(rest.data()), static_cast<std::streamsize>(rest.size()));
        return true;
    });
    EXPECT_EQ(failureOf(reader, m.records), "(none)");
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(m.records.size(), 1u);
}

namespace {

std::string nameFor(int i) { return "if" + std::string(static_cast<std::size_t>(i % 97), 'x'); }

} // namespace

TEST(LogReader, in_a_second_process_never_sees_part_of_a_frame_while_the_service_appends)
{
    const std::string path = logPath();
    { ConnectionLogger logger(nullptr, path); }
    constexpr int count = 3000;
    // The writer holds back its second half until the reader has made a
    // pass, so that the passes overlap the appending on any machine.
    int firstPass[2], ready[2];
    ASSERT_EQ(::pipe(firstPass), 0);
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        ::close(ready[0]);
        ::close(firstPass[1]);
        try {
            // As the service does: it owns the live table, and each pass
            // appends under its lock.
            platform::SharedMemory table;
            table.create(SHAREDSTAT_NAME, sizeof(SharedStatData), nullptr);
            ConnectionLogger logger(nullptr, path);
            platform::NamedLock mutex = openStatisticsMutex();
            (void)!::write(ready[1], "r", 1);
            char go = 0;
            for (int i = 0; i < count; ++i) {
                if (i == count / 2 && ::read(firstPass[0], &go, 1) != 1)
                    ::_exit(2);
                platform::NamedLockGuard locked(mutex);
                logger.logLANConnection(nameFor(i), D, D, static_cast<std::uint64_t>(i), 0);
            }
        } catch (...) {
            ::_exit(3);
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(firstPass[0]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the writer did not start";
    Model m;
    LogReader reader(path);
    int passes = 0;
    std::string failure;
    const TDateTime deadline = Now() + 60.0 / SecsPerDay;
    while (m.records.size() < count && Now() < deadline && failure.empty()) {
        failure = failureOf(reader, m.records);
        if (failure == "(none)")
            failure.clear();
        if (++passes == 1) {
            ASSERT_EQ(::write(firstPass[1], "1", 1), 1);
        }
    }
    ::close(firstPass[1]);
    ::close(ready[0]);
    int status = 0;
    ::waitpid(writer, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(failure, "");
    ASSERT_EQ(m.records.size(), count);
    for (int i = 0; i < count; ++i) {
        const LogRecord& r = m.records.getRecord(i);
        ASSERT_EQ(r.getSent(), static_cast<std::uint64_t>(i));
        ASSERT_EQ(m.records.getConnectionName(&r), nameFor(i));
    }
    EXPECT_GT(passes, 1);
}
