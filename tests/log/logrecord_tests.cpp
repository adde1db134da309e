#include "errors/ltexception.h"
#include "goldenframes.h"
#include "log/logrecord.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

std::string corruptionOf(LogRecordBuffer& buffer, const Bytes& record, int size = -1)
{
    std::memcpy(buffer.getData(), record.data(), record.size());
    LogRecordFields fields;
    try {
        buffer.Unpack(size < 0 ? static_cast<int>(record.size()) : size, fields);
    } catch (const LTDataCorruptedException& e) {
        return e.what();
    }
    return "(decoded)";
}

Bytes packedLan(LogRecordBuffer& buffer, std::string_view name, TDateTime start, TDateTime end)
{
    int size = 0;
    const unsigned char* bytes = buffer.PackLAN(name, start, end, 0, 0, size);
    return Bytes(bytes, bytes + size);
}

void putDouble(Bytes& bytes, std::size_t at, double value) { std::memcpy(&bytes[at], &value, 8); }

} // namespace

TEST(LogRecordBuffer, packs_empty_records_to_their_fixed_sizes)
{
    LogRecordBuffer buffer(1024);
    int size = 0;
    const unsigned char* lan = buffer.PackLAN("", 18264.0, 18264.0, 0, 0, size);
    ASSERT_EQ(size, 35);
    EXPECT_EQ(Bytes(lan, lan + 3), (Bytes{0x00, 0x00, 0x00}));
    const unsigned char* ras = buffer.PackRAS("", "", "", "", "", 18264.0, 18264.0, 0, 0, size);
    ASSERT_EQ(size, 43);
    EXPECT_EQ(Bytes(ras, ras + 11), (Bytes{0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(buffer.getPos(), 43);
}

TEST(LogRecordBuffer, grows_to_exactly_a_long_record_and_never_shrinks)
{
    LogRecordBuffer buffer(1024);
    const std::string longest(65535, 'x');
    int size = 0;
    const unsigned char* bytes = buffer.PackLAN(longest, 18264.0, 18264.0, 0, 0, size);
    EXPECT_EQ(size, 35 + 65535);
    EXPECT_EQ(buffer.getCapacity(), 35 + 65535);
    EXPECT_EQ(bytes[1], 0xFF);
    EXPECT_EQ(bytes[2], 0xFF);
    EXPECT_EQ(bytes[3], 'x');
    buffer.PackLAN("eth0", 18264.0, 18264.0, 0, 0, size);
    EXPECT_EQ(buffer.getCapacity(), 35 + 65535);

    LogRecordBuffer ras(1024);
    ras.PackRAS(longest, longest, "", "", "", 18264.0, 18264.0, 0, 0, size);
    EXPECT_EQ(size, 43 + 2 * 65535);
    EXPECT_EQ(ras.getCapacity(), size);
}

TEST(LogRecordBuffer, scrambles_with_mask_or_key_and_restores_on_the_second_pass)
{
    LogRecordBuffer buffer(64);
    std::memset(buffer.getData(), 0, 64);
    buffer.Scramble(28, 0xFF);
    for (int i = 0; i < 28; ++i)
        ASSERT_EQ(buffer.getData()[i], 0xFF) << i; // the key has no effect
    std::memset(buffer.getData(), 0, 64);
    buffer.Scramble(28, 0x00);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.getData()), 28), "Pale lanterns drift upwardPa");
    buffer.Scramble(28, 0x00);
    EXPECT_EQ(buffer.getData()[27], 0);
}

TEST(LogRecordBuffer, decodes_a_lan_record_to_its_name_and_four_empty_texts)
{
    LogRecordBuffer buffer(1024);
    Bytes record(firstLanFrame.begin() + 2, firstLanFrame.end());
    std::memcpy(buffer.getData(), record.data(), record.size());
    buffer.Scramble(static_cast<int>(record.size()), 0x02);
    LogRecordFields r;
    buffer.Unpack(static_cast<int>(record.size()), r);
    EXPECT_EQ(r.type, 0);
    EXPECT_EQ(r.entryName, "eth0");
    EXPECT_TRUE(r.deviceType.empty() && r.deviceName.empty() && r.phoneNumber.empty() && r.userName.empty());
    EXPECT_EQ(r.start, 46000.0);
    EXPECT_EQ(r.end, 46000.25);
    EXPECT_EQ(r.sent, 1u);
    EXPECT_EQ(r.received, 0x1122334455667788u);
}

TEST(LogRecordBuffer, refuses_every_connection_type_but_zero_and_one)
{
    LogRecordBuffer buffer(1024);
    Bytes record = packedLan(buffer, "eth0", 46000.0, 46000.0);
    for (unsigned char type : {2, 127, 255}) {
        record[0] = type;
        EXPECT_EQ(corruptionOf(buffer, record), "LogRecordBuffer::Unpack - data corrupted - wrong connection type");
    }
}

TEST(LogRecordBuffer, bounds_reads_by_the_frame_length_and_ignores_bytes_after_the_fields)
{
    LogRecordBuffer buffer(1024);
    // A long record first, so that stale bytes follow a short frame.
    const Bytes longer = packedLan(buffer, "a long interface name", 46000.0, 46000.0);
    const Bytes record = packedLan(buffer, "eth0", 46000.0, 46000.0);
    std::memcpy(buffer.getData(), longer.data(), longer.size());
    EXPECT_EQ(corruptionOf(buffer, record, 38), "LogRecordBuffer::ReadBytes - data corrupted");
    EXPECT_EQ(corruptionOf(buffer, record, 2), "LogRecordBuffer::ReadBytes - data corrupted");
    EXPECT_EQ(corruptionOf(buffer, record, 5), "LogRecordBuffer::ReadString - data corrupted");
    EXPECT_EQ(corruptionOf(buffer, record, 0), "LogRecordBuffer::ReadBytes - data corrupted");

    Bytes padded = record;
    padded.insert(padded.end(), {0xAA, 0xBB, 0xCC});
    EXPECT_EQ(corruptionOf(buffer, padded), "(decoded)");

    Bytes lying = record;
    lying[1] = 0xFF; // the name claims 255 bytes
    EXPECT_EQ(corruptionOf(buffer, lying), "LogRecordBuffer::ReadString - data corrupted");
}

TEST(LogRecordBuffer, accepts_dates_from_1950_to_2300_inclusive_and_nothing_else)
{
    EXPECT_EQ(LOG_DATE_MIN, EncodeDate(1950, 1, 1));
    EXPECT_EQ(LOG_DATE_MAX, EncodeDate(2300, 1, 1));
    const std::string rangeCheck = "LogRecordBuffer::ReadDateTime - data corrupted (range check)";
    LogRecordBuffer buffer(1024);
    const Bytes record = packedLan(buffer, "", 18264.0, 146099.0);
    EXPECT_EQ(corruptionOf(buffer, record), "(decoded)");

    const TDateTime justBefore = EncodeDate(1949, 12, 31) + EncodeTime(23, 59, 0, 0);
    const TDateTime afterwards = std::nextafter(146099.0, 200000.0);
    for (std::size_t field : {3u, 11u}) { // start, end: each checked on its own
        for (double bad : {justBefore, afterwards, std::nan(""), -HUGE_VAL}) {
            Bytes broken = record;
            putDouble(broken, field, bad);
            EXPECT_EQ(corruptionOf(buffer, broken), rangeCheck) << field << " " << bad;
        }
    }
    Bytes reversed = record; // an end before its start is not the decoder's business
    putDouble(reversed, 3, 46000.5);
    putDouble(reversed, 11, 46000.0);
    EXPECT_EQ(corruptionOf(buffer, reversed), "(decoded)");
}

TEST(LogRecordBufferDeathTest, asserts_its_preconditions)
{
    EXPECT_DEATH(LogRecordBuffer(0), "Assertion failed: capacity > 0, file src/common/conlogger, line");
    LogRecordBuffer buffer(16);
    EXPECT_DEATH(buffer.SetCapacity(-1), "Assertion failed: newCapacity > 0");
    EXPECT_DEATH(buffer.Scramble(17, 0), "Assertion failed: size <= capacity");
    int size = 0;
    EXPECT_DEATH(buffer.PackLAN(std::string(0x10000, 'x'), 18264.0, 18264.0, 0, 0, size),
                 "Assertion failed: s.Length\\(\\) < 0x10000");
}
