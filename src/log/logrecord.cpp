#include "log/logrecord.h"

#include "common/common.h"
#include "common/ltassert.h"
#include "errors/ltexception.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace {

// Doubles and counts travel as their little-endian bytes.
static_assert(std::endian::native == std::endian::little, "records are stored little-endian");

// The key repeated ten times: a record of usual length is scrambled in one
// run without a modulo per byte, which the compiler can vectorise.
constexpr std::array<unsigned char, 260> REPEATED_KEY = [] {
    std::array<unsigned char, 260> key{};
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<unsigned char>(LOG_KEY[i % 26]);
    return key;
}();
static_assert(REPEATED_KEY.size() % 26 == 0);

} // namespace

void scrambleRecord(unsigned char* bytes, int size, unsigned char mask)
{
    for (int done = 0; done < size;) {
        const int run = std::min(size - done, static_cast<int>(REPEATED_KEY.size()));
        unsigned char* chunk = bytes + done;
        for (int i = 0; i < run; ++i)
            chunk[i] ^= static_cast<unsigned char>(mask | REPEATED_KEY[static_cast<std::size_t>(i)]);
        done += run;
    }
}

LogRecordBuffer::LogRecordBuffer(int capacity) : capacity(capacity)
{
    LT_ASSERT(capacity > 0);
    data.reset(new unsigned char[static_cast<std::size_t>(capacity)]);
}

void LogRecordBuffer::SetCapacity(int newCapacity)
{
    LT_ASSERT(newCapacity > 0);
    data.reset(new unsigned char[static_cast<std::size_t>(newCapacity)]);
    capacity = newCapacity;
}

void LogRecordBuffer::reserve(int resultSize)
{
    if (capacity < resultSize)
        SetCapacity(resultSize);
    pos = 0;
}

const unsigned char* LogRecordBuffer::PackRAS(std::string_view entryName, std::string_view deviceType,
                                              std::string_view deviceName, std::string_view phoneNumber,
                                              std::string_view userName, TDateTime start, TDateTime end,
                                              std::uint64_t sent, std::uint64_t received, int& resultSize)
{
    for (std::string_view s : {entryName, deviceType, deviceName, phoneNumber, userName})
        LT_ASSERT_TEXT(s.size() < 0x10000, "s.Length() < 0x10000");
    const std::size_t texts = entryName.size() + deviceType.size() + deviceName.size() +
                              phoneNumber.size() + userName.size();
    resultSize = RAS_RECORD_FIXED_SIZE + static_cast<int>(texts);
    reserve(resultSize);
    const unsigned char type = RAS_CONNECTION;
    WriteBytes(&type, 1);
    WriteString(entryName);
    WriteString(deviceType);
    WriteString(deviceName);
    WriteString(phoneNumber);
    WriteString(userName);
    WriteQuantum(start, end, sent, received);
    LT_ASSERT(pos == resultSize);
    return data.get();
}

const unsigned char* LogRecordBuffer::PackLAN(std::string_view interfaceName, TDateTime start,
                                              TDateTime end, std::uint64_t sent, std::uint64_t received,
                                              int& resultSize)
{
    LT_ASSERT_TEXT(interfaceName.size() < 0x10000, "s.Length() < 0x10000");
    resultSize = LAN_RECORD_FIXED_SIZE + static_cast<int>(interfaceName.size());
    reserve(resultSize);
    const unsigned char type = LAN_CONNECTION;
    WriteBytes(&type, 1);
    WriteString(interfaceName);
    WriteQuantum(start, end, sent, received);
    LT_ASSERT(pos == resultSize);
    return data.get();
}

void LogRecordBuffer::WriteQuantum(TDateTime start, TDateTime end, std::uint64_t sent, std::uint64_t received)
{
    WriteDateTime(start);
    WriteDateTime(end);
    WriteInt64(sent);
    WriteInt64(received);
}

void LogRecordBuffer::WriteBytes(const void* source, int sz)
{
    LT_ASSERT(sz >= 0);
    LT_ASSERT(pos + sz <= capacity);
    std::memcpy(data.get() + pos, source, static_cast<std::size_t>(sz));
    pos += sz;
    LT_ASSERT(pos <= capacity);
}

void LogRecordBuffer::WriteString(std::string_view s)
{
    LT_ASSERT_TEXT(static_cast<long long>(pos) + static_cast<long long>(s.size()) + 2 <= capacity,
                   "pos + s.Length() + 2 <= capacity");
    LT_ASSERT_TEXT(s.size() < 0x10000, "s.Length() < 0x10000");
    data[pos++] = static_cast<unsigned char>(s.size() & 0xFF);
    data[pos++] = static_cast<unsigned char>((s.size() >> 8) & 0xFF);
    std::memcpy(data.get() + pos, s.data(), s.size());
    pos += static_cast<int>(s.size());
    LT_ASSERT(pos <= capacity);
}

void LogRecordBuffer::WriteDateTime(TDateTime t) { WriteBytes(&t, sizeof t); }

void LogRecordBuffer::WriteInt64(std::uint64_t v) { WriteBytes(&v, sizeof v); }

void LogRecordBuffer::Scramble(int size, unsigned char mask)
{
    LT_ASSERT(size <= capacity);
    scrambleRecord(data.get(), size, mask);
}

void LogRecordBuffer::Unpack(int size, LogRecordFields& record)
{
    pos = 0;
    limit = size < capacity ? size : capacity;
    ReadBytes(&record.type, 1);
    if (record.type != LAN_CONNECTION && record.type != RAS_CONNECTION)
        throw LTDataCorruptedException("LogRecordBuffer::Unpack - data corrupted - wrong connection type");
    ReadString(record.entryName);
    if (record.type == RAS_CONNECTION) {
        ReadString(record.deviceType);
        ReadString(record.deviceName);
        ReadString(record.phoneNumber);
        ReadString(record.userName);
    } else {
        record.deviceType = record.deviceName = record.phoneNumber = record.userName = {};
    }
    ReadDateTime(record.start);
    ReadDateTime(record.end);
    ReadInt64(record.sent);
    ReadInt64(record.received);
}

void LogRecordBuffer::ReadBytes(void* destination, int count)
{
    if (pos + count > limit)
        throw LTDataCorruptedException("LogRecordBuffer::ReadBytes - data corrupted");
    std::memcpy(destination, data.get() + pos, static_cast<std::size_t>(count));
    pos += count;
}

void LogRecordBuffer::ReadString(std::string_view& s)
{
    unsigned char length[2];
    ReadBytes(length, 2);
    const int len = length[0] | (length[1] << 8);
    if (pos + len > limit)
        throw LTDataCorruptedException("LogRecordBuffer::ReadString - data corrupted");
    LT_ASSERT((int) (pos + len) <= capacity);
    s = std::string_view(reinterpret_cast<const char*>(data.get() + pos), static_cast<std::size_t>(len));
    pos += len;
    if (pos > limit)
        throw LTDataCorruptedException("LogRecordBuffer::ReadString - data corrupted");
}

void LogRecordBuffer::ReadDateTime(TDateTime& t)
{
    ReadBytes(&t, sizeof t);
    if (pos > limit)
        throw LTDataCorruptedException("LogRecordBuffer::ReadDateTime - data corrupted");
    // Written so that a NaN, which compares with neither bound, fails too.
    if (!(t >= LOG_DATE_MIN && t <= LOG_DATE_MAX))
        throw LTDataCorruptedException("LogRecordBuffer::ReadDateTime - data corrupted (range check)");
}

void LogRecordBuffer::ReadInt64(std::uint64_t& v)
{
    ReadBytes(&v, sizeof v);
    LT_ASSERT(pos <= capacity);
}


std::string connectionKey(unsigned char type, std::string_view name)
{
    std::string key(1, static_cast<char>(type));
    key.append(name);
    return key;
}
