#include "common/conlogger.h"
#include "common/logframe.h"
#include "damagedlog.h"
#include "frontend/datamodel.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <set>

using Bytes = std::vector<unsigned char>;

namespace {

struct Read {
    std::vector<std::uint64_t> sent; // of every record read, in file order
    std::vector<std::int64_t> reportedAt;
};

// Every record a monitor's reader gets out of the log, and where it
// reported damage.
Read readAll(const std::string& path)
{
    Read read;
    History history;
    LogReader reader(path);
    readPastCorruption([&] { reader.readAll(history.records); },
                       [&](const LTDataCorruptedException& e) { read.reportedAt.push_back(e.offset()); });
    reader.readAll(history.records); // a later tick: nothing again
    for (int i = 0; i < history.records.size(); ++i)
        read.sent.push_back(history.records.getRecord(i).getSent() >> 20);
    return read;
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

TEST(LogFrame, decodes_a_record_only_when_it_fills_its_frame_and_starts_before_it_ends)
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
    EXPECT_EQ(failure(46000.5, 46000.0, 0), "LogReader::readRecord - data corrupted - the record starts after it ends");
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
        const Read read = readAll(path);
        ASSERT_EQ(static_cast<std::int64_t>(read.sent.size()), damage.wholeRecords);
        EXPECT_TRUE(std::is_sorted(read.sent.begin(), read.sent.end()));
        EXPECT_EQ(std::set<std::uint64_t>(read.sent.begin(), read.sent.end()).size(), read.sent.size());
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

TEST(LogScan, takes_up_whole_frames_three_in_a_row_or_as_many_as_reach_the_last_whole_frame)
{
    const Bytes clean = damagedlog::cleanLog();
    Bytes twoDamaged = clean;
    for (int i = 0; i < 41; ++i)
        twoDamaged[100 * 41 + i] = twoDamaged[102 * 41 + i] = 0xEE; // frame 101 between them
    EXPECT_EQ(scanOf(twoDamaged).records, 197);

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
        const Read read = readAll(path);
        ASSERT_EQ(static_cast<std::int64_t>(read.sent.size()), damage.wholeRecords + 1);
        EXPECT_EQ(read.sent.back(), 7u);
    }
}
