#include "damagedlog.h"
#include "errors/ltexception.h"
#include "log/conlogger.h"
#include "log/logframe.h"
#include "model/datamodel.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

using Bytes = std::vector<unsigned char>;

namespace {

struct Read {
    std::vector<std::uint64_t> sentMb; // of every record read, in file order
    std::vector<std::int64_t> reportedAt;
};

// Every record a monitor's reader gets out of the log in passes until one
// ends cleanly, and where it reported damage.
Read readLog(LogReader& reader)
{
    Read read;
    History history;
    readPastCorruption([&] { reader.readAll(history.records); },
                       [&](const LTDataCorruptedException& e) { read.reportedAt.push_back(e.offset()); });
    for (int i = 0; i < history.records.size(); ++i)
        read.sentMb.push_back(history.records.getRecord(i).getSent() >> 20);
    return read;
}

Read readLog(const std::string& path)
{
    LogReader reader(path);
    Read read = readLog(reader);
    EXPECT_TRUE(readLog(reader).reportedAt.empty()); // a later tick: nothing again
    return read;
}

std::string logWith(const Bytes& bytes)
{
    const std::string path = testenv::freshFolder("damaged") + "/cn.log";
    testenv::writeBytes(path, bytes);
    return path;
}

LogScan scanOf(const Bytes& bytes)
{
    MemoryLogBytes log(bytes.data(), bytes.size());
    return scanLog(log);
}

} // namespace

TEST(LogFrame, reads_the_length_low_byte_first_and_takes_the_mask_from_the_offset)
{
    const unsigned char length[] = {0x27, 0x01};
    EXPECT_EQ(frameLength(length), 0x0127);
    unsigned char written[2];
    putFrameLength(written, 0xFFFF);
    EXPECT_EQ(written[0], 0xFF);
    EXPECT_EQ(written[1], 0xFF);
    EXPECT_EQ(frameMask(0x0102), 0x02);
    EXPECT_EQ(frameMask(0x0100), 0x00);
    EXPECT_EQ(frameMask(-1), 0xFF); // a writer that could not learn the offset
}

TEST(LogFrame, decodes_a_record_only_when_it_fills_its_frame)
{
    LogRecordBuffer buffer(1024);
    auto failure = [&buffer](TDateTime start, TDateTime end, int extra) -> std::string {
        int size = 0;
        buffer.PackLAN("eth0", start, end, 0, 0, size);
        buffer.Scramble(size + extra, frameMask(2));
        LogRecordFields record;
        try {
            decodeFrameRecord(buffer, size + extra, 2, record);
        } catch (const LTDataCorruptedException& e) {
            return e.what();
        }
        return "(whole)";
    };
    EXPECT_EQ(failure(46000.0, 46000.0, 0), "(whole)");
    EXPECT_EQ(failure(46000.0, 46000.5, 1), "LogReader::readRecord - data corrupted - the record ends before its frame");
    EXPECT_EQ(failure(46000.5, 46000.0, 0), "(whole)"); // the clock was set back during the quantum
}

TEST(LogScan, finds_every_whole_record_of_a_damaged_log_and_the_reader_reads_each_once)
{
    for (const damagedlog::Case& damage : damagedlog::fieldDamages()) {
        SCOPED_TRACE(damage.name);
        const LogScan scan = scanOf(damage.bytes);
        EXPECT_EQ(scan.records, damage.wholeRecords);
        EXPECT_EQ(scan.tailLength(), damage.tornTail);
        EXPECT_FALSE(scan.clean());

        const std::string path = testenv::freshFolder("damaged") + "/cn.log";
        testenv::writeBytes(path, damage.bytes);
        const Read read = readLog(path);
        ASSERT_EQ(static_cast<std::int64_t>(read.sentMb.size()), damage.wholeRecords);
        EXPECT_TRUE(std::is_sorted(read.sentMb.begin(), read.sentMb.end()));
        EXPECT_EQ(std::set<std::uint64_t>(read.sentMb.begin(), read.sentMb.end()).size(), read.sentMb.size());
        EXPECT_FALSE(read.reportedAt.empty());
        EXPECT_EQ(std::set<std::int64_t>(read.reportedAt.begin(), read.reportedAt.end()).size(),
                  read.reportedAt.size()); // each region once
    }
}

TEST(LogScan, reports_regions_where_they_are_and_finds_a_clean_log_clean)
{
    const Bytes clean = damagedlog::cleanLog();
    const LogScan whole = scanOf(clean);
    EXPECT_TRUE(whole.clean());
    EXPECT_EQ(whole.records, 200);
    EXPECT_EQ(whole.wholeEnd, 8200);

    Bytes zeroLength = clean;
    zeroLength[4100] = zeroLength[4101] = 0; // only the length bytes are lost
    const LogScan recovered = scanOf(zeroLength);
    ASSERT_EQ(recovered.damaged.size(), 1u);
    EXPECT_EQ(recovered.damaged[0].offset, 4100);
    EXPECT_EQ(recovered.damaged[0].length, 2);
    EXPECT_EQ(recovered.damaged[0].reason, "LogRecordBuffer::ReadBytes - data corrupted");

    Bytes typeByte = clean;
    typeByte[4102] ^= 0x07; // the record itself is damaged: it is skipped whole
    const LogScan skipped = scanOf(typeByte);
    EXPECT_EQ(skipped.records, 199);
    ASSERT_EQ(skipped.damaged.size(), 1u);
    EXPECT_EQ(skipped.damaged[0].offset, 4100);
    EXPECT_EQ(skipped.damaged[0].length, 41);
    EXPECT_EQ(skipped.damaged[0].reason, "LogRecordBuffer::Unpack - data corrupted - wrong connection type");
}

TEST(LogScan, takes_up_a_whole_frame_alone_and_one_found_by_its_fields_only_with_company)
{
    const Bytes clean = damagedlog::cleanLog();
    Bytes twoDamaged = clean;
    for (int i = 0; i < 41; ++i)
        twoDamaged[100 * 41 + i] = twoDamaged[102 * 41 + i] = 0xEE; // frame 101 between them
    EXPECT_EQ(scanOf(twoDamaged).records, 198);

    Bytes lengthsLost = clean;
    for (int frame = 101; frame < 200; frame += 2)
        lengthsLost[frame * 41] = lengthsLost[frame * 41 + 1] = 0; // every other length from 101 on
    lengthsLost[100 * 41 + 2] ^= 0x07;                           // and frame 100 itself
    const LogScan fields = scanOf(lengthsLost);
    EXPECT_EQ(fields.records, 199); // 101 is found by its fields, three in a row with 102 and 103
    EXPECT_EQ(fields.damaged.size(), 51u);

    Bytes damagedEnd(clean.begin(), clean.begin() + 197 * 41); // frames 0 .. 196
    damagedEnd.insert(damagedEnd.end(), 41, 0xEE);
    damagedEnd.insert(damagedEnd.end(), clean.begin() + 198 * 41, clean.begin() + 199 * 41); // frame 198
    damagedEnd.insert(damagedEnd.end(), 30, 0xEE);
    const LogScan scan = scanOf(damagedEnd);
    EXPECT_EQ(scan.records, 198);
    EXPECT_EQ(scan.wholeEnd, 197 * 41 + 41 + 41);
    EXPECT_EQ(scan.tailLength(), 30);
}

TEST(ConnectionLogger, keeps_aside_and_cuts_only_a_torn_tail_and_appends_after_the_last_whole_frame)
{
    for (const damagedlog::Case& damage : damagedlog::fieldDamages()) {
        SCOPED_TRACE(damage.name);
        const std::string path = testenv::freshFolder("repair") + "/cn.log";
        testenv::writeBytes(path, damage.bytes);
        {
            ConnectionLogger logger(nullptr, path);
            const Bytes repaired = testenv::readBytes(path);
            const auto kept = static_cast<std::ptrdiff_t>(damage.bytes.size()) - damage.tornTail;
            EXPECT_EQ(repaired, Bytes(damage.bytes.begin(), damage.bytes.begin() + kept));
            EXPECT_EQ(testenv::readBytes(path + ".damaged"), Bytes(damage.bytes.begin() + kept, damage.bytes.end()));
            logger.logLANConnection("eth0", 46100.0, 46100.5, 7u << 20, 0);
        }
        const Read read = readLog(path);
        ASSERT_EQ(static_cast<std::int64_t>(read.sentMb.size()), damage.wholeRecords + 1);
        EXPECT_EQ(read.sentMb.back(), 7u);
    }
}

TEST(LogReader, at_a_torn_tail_reads_what_the_restarted_service_appends_and_reports_nothing_again)
{
    const Bytes clean = damagedlog::cleanLog();
    for (const std::size_t torn : {1u, 2u, 10u, 40u}) {
        SCOPED_TRACE(torn);
        Bytes bytes(clean.begin(), clean.end() - static_cast<std::ptrdiff_t>(torn));
        const std::string path = logWith(bytes);
        LogReader reader(path);
        const Read first = readLog(reader);
        EXPECT_EQ(first.sentMb.size(), 199u);
        {
            ConnectionLogger logger(nullptr, path);
            logger.logLANConnection("eth0", 46100.0, 46100.5, 500u << 20, 0);
        }
        const Read second = readLog(reader);
        EXPECT_EQ(second.sentMb, (std::vector<std::uint64_t>{500}));
        EXPECT_TRUE(second.reportedAt.empty());
    }
}

TEST(LogScan, recovers_a_record_with_damaged_length_bytes_before_a_torn_tail)
{
    Bytes bytes = damagedlog::cleanLog();
    bytes[199 * 41] = 0x00;
    bytes[199 * 41 + 1] = 0x00;
    bytes.insert(bytes.end(), {0x27, 0x00, 0x11, 0x22});
    const LogScan scan = scanOf(bytes);
    EXPECT_EQ(scan.records, 200);
    EXPECT_EQ(scan.tailLength(), 4);
    const std::string path = logWith(bytes);
    EXPECT_EQ(readLog(path).sentMb.size(), 200u);
    { ConnectionLogger logger(nullptr, path); }
    EXPECT_EQ(testenv::readBytes(path).size(), 200u * 41);
    EXPECT_EQ(readLog(path).sentMb.size(), 200u);
}

TEST(LogReader, reads_the_shortest_records_after_damage_at_offset_zero)
{
    const std::string path = testenv::freshFolder("short") + "/cn.log";
    Bytes frames;
    {
        const std::string other = testenv::freshFolder("short2") + "/cn.log";
        ConnectionLogger logger(nullptr, other);
        for (int i = 0; i < 5; ++i) {
            logger.logLANConnection("", 46000.0 + i, 46000.0 + i, std::uint64_t(i + 1) << 20, 0);
            logger.logRASConnection("", "", "", "", "", 46000.0 + i, 46000.0 + i, std::uint64_t(i + 11) << 20, 0);
        }
        frames = testenv::readBytes(other);
    }
    EXPECT_EQ(frames.size(), 5u * (37 + 45));
    Bytes junkFirst(256, 0xA5);
    junkFirst.insert(junkFirst.end(), frames.begin(), frames.end());
    testenv::writeBytes(path, junkFirst);
    const Read read = readLog(path);
    EXPECT_EQ(read.sentMb.size(), 10u);
    EXPECT_EQ(read.reportedAt, (std::vector<std::int64_t>{0}));
}

TEST(LogReader, of_a_day_reads_every_record_of_its_day_past_damage)
{
    Bytes bytes = damagedlog::cleanLog(); // 200 hourly records from day 46000
    bytes[30 * 41 + 2] ^= 0x07;            // day 46001, hour 6
    bytes[31 * 41] ^= 0x80;                // day 46001, hour 7: length bytes only
    const std::string path = logWith(bytes);
    LogReader reader(path, 46001.5);
    const Read first = readLog(reader);
    EXPECT_EQ(first.sentMb.size(), 23u);
    EXPECT_EQ(first.reportedAt, (std::vector<std::int64_t>{30 * 41, 31 * 41}));
    const Read again = readLog(reader);
    EXPECT_TRUE(again.sentMb.empty());
    EXPECT_TRUE(again.reportedAt.empty());
}

TEST(LogReader, reads_past_lengths_of_1_and_65535)
{
    const std::string path = testenv::freshFolder("long") + "/cn.log";
    {
        ConnectionLogger logger(nullptr, path);
        logger.logLANConnection("eth0", 46000.0, 46000.5, 1u << 20, 0);
        logger.logLANConnection(std::string(65535 - 35, 'n'), 46000.0, 46000.5, 2u << 20, 0);
        for (int i = 3; i <= 6; ++i)
            logger.logLANConnection("eth0", 46000.0, 46000.5, std::uint64_t(i) << 20, 0);
    }
    Bytes bytes = testenv::readBytes(path);
    ASSERT_EQ(bytes.size(), 41u + 65537u + 4 * 41u);
    EXPECT_EQ(bytes[41], 0xFF);
    EXPECT_EQ(bytes[42], 0xFF);
    bytes[41] = 0x01; // the longest record's length now reads 0xFF01
    bytes[41 + 65537 + 41] = 0x01; // record 4: length 1
    bytes[41 + 65537 + 41 + 1] = 0x00;
    testenv::writeBytes(path, bytes);
    const Read read = readLog(path);
    EXPECT_EQ(read.sentMb, (std::vector<std::uint64_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(read.reportedAt, (std::vector<std::int64_t>{41, 41 + 65537 + 41}));
    EXPECT_EQ(scanOf(bytes).records, 6);
}

TEST(LogReader, keeps_and_reads_a_whole_record_that_ends_before_it_starts)
{
    Bytes bytes = damagedlog::cleanLog(); // 200 frames of 41 bytes
    LogRecordBuffer buffer(1024);
    int size = 0;
    buffer.PackLAN("eth0", 46010.0 + 2.5 / 24, 46010.0 + 2.1 / 24, 999u << 20, 0, size); // 02:30 .. 02:06
    Bytes frame(2 + static_cast<std::size_t>(size));
    putFrameLength(frame.data(), size);
    std::memcpy(frame.data() + 2, buffer.getData(), static_cast<std::size_t>(size));
    scrambleRecord(frame.data() + 2, size, frameMask(static_cast<std::int64_t>(bytes.size()) + 2));
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    const std::string path = logWith(bytes);
    const Read read = readLog(path);
    EXPECT_EQ(read.sentMb.size(), 201u);
    { ConnectionLogger restarted(nullptr, path); }
    EXPECT_EQ(testenv::readBytes(path).size(), bytes.size()) << "the start-up cut a whole record";
}
