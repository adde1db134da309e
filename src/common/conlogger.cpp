#include "common/conlogger.h"

#include "common/common.h"
#include "common/dbglogger.h"
#include "common/ltassert.h"
#include "platform/named_lock.h"

#include <bit>
#include <cstdio>
#include <cstring>

namespace {

// Doubles and counts travel as their little-endian bytes.
static_assert(std::endian::native == std::endian::little, "records are stored little-endian");

std::string formatLogTime(TDateTime t) { return FormatDateTime("dd:mm:yyyy hh:nn:ss", t); }

int lowSigned32(std::uint64_t v) { return static_cast<int>(static_cast<std::uint32_t>(v)); }

} // namespace

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
    unsigned char* bytes = data.get();
    for (int i = 0, k = 0; i < size; ++i) {
        bytes[i] ^= static_cast<unsigned char>(mask | static_cast<unsigned char>(LOG_KEY[k]));
        if (++k == 26)
            k = 0;
    }
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

FrameWalk walkFrames(platform::FileReader& reader, std::int64_t fileSize)
{
    FrameWalk walk;
    unsigned char head[3]; // length and the record's type byte
    std::size_t got;
    while ((got = reader.read(head, 3)) >= 2) {
        const int length = head[0] | (head[1] << 8);
        const std::int64_t next = walk.boundary + 2 + length;
        if (got == 3 && length > 0) {
            const auto mask = static_cast<unsigned char>((walk.boundary + 2) & 0xFF);
            const unsigned char type = head[2] ^ static_cast<unsigned char>(mask | LOG_KEY[0]);
            if (type != LAN_CONNECTION && type != RAS_CONNECTION) {
                walk.trustworthy = false;
                return walk;
            }
        }
        if (next > fileSize)
            break;
        reader.skip(next - walk.boundary - static_cast<std::int64_t>(got));
        walk.boundary = next;
    }
    return walk;
}

ConnectionLogger::ConnectionLogger(DbgLogger* dbgLogger, const std::string& fileName)
    : dbgLogger(dbgLogger), file(fileName), buffer(1024)
{
    if (!file.isOpen()) {
        static constexpr const char* message =
            "ConnectionLogger::ConnectionLogger - FATAL ERROR! Can't open the log file.";
        trace(std::string(message) + "\n");
        throw LTException(message);
    }
    repairTornTail(fileName);
}

void ConnectionLogger::repairTornTail(const std::string& fileName)
{
    // Under the statistics mutex, so that no monitor pass reads while the
    // tail goes.
    platform::NamedLock mutex = openStatisticsMutex();
    platform::NamedLockGuard locked(mutex);

    const std::int64_t size = file.size();
    platform::FileReader reader(fileName, 1 << 20);
    if (size <= 0 || !reader.isOpen())
        return;
    const FrameWalk walk = walkFrames(reader, size);
    if (!walk.trustworthy) {
        // A corrupted length earlier in the file: what looks like a torn tail
        // may be whole records, so nothing is cut.
        trace("ConnectionLogger::ConnectionLogger() - the log file holds a corrupted frame; its end is left "
              "as it is\n");
        return;
    }
    if (walk.boundary == size)
        return;
    // A torn tail holds no complete record, so cutting it loses nothing that
    // could be read, and the next record starts on a frame boundary again.
    const std::string torn = std::to_string(size - walk.boundary) + " torn bytes at the end of the log file (offset " +
                             std::to_string(walk.boundary) + ")";
    if (file.truncate(walk.boundary)) {
        trace("ConnectionLogger::ConnectionLogger() - cut off " + torn + "\n");
        return;
    }
    trace("ConnectionLogger::ConnectionLogger() - can't cut off " + torn + " Error code: " +
          std::to_string(file.lastError()) + ".\n");
    pendingTruncate = walk.boundary;
}

void ConnectionLogger::appendFrame(int recordSize)
{
    if (recordSize > MAX_RECORD_SIZE) {
        // Two length bytes cannot announce it: written, it would throw every
        // later frame out of step.
        trace("ConnectionLogger::appendFrame() - record dropped, its " + std::to_string(recordSize) +
              " bytes do not fit in a frame\n");
        return;
    }
    if (pendingTruncate >= 0) {
        if (!file.truncate(pendingTruncate)) {
            trace("ConnectionLogger::appendFrame() - record dropped, the log file can't be restored to "
                  "its last frame. Error code: " + std::to_string(file.lastError()) + ".\n");
            return;
        }
        pendingTruncate = -1;
    }
    const std::int64_t size = file.size();
    if (size < 0) {
        trace("ConnectionLogger::appendFrame() - record dropped, the log file size is unknown. Error code: " +
              std::to_string(file.lastError()) + ".\n");
        return;
    }
    // The record's offset in the file chooses the mask.
    buffer.Scramble(recordSize, static_cast<unsigned char>((size + 2) & 0xFF));
    frame.resize(static_cast<std::size_t>(recordSize) + 2);
    frame[0] = static_cast<unsigned char>(recordSize & 0xFF);
    frame[1] = static_cast<unsigned char>((recordSize >> 8) & 0xFF);
    std::memcpy(frame.data() + 2, buffer.getData(), static_cast<std::size_t>(recordSize));
    if (file.append(frame.data(), frame.size()))
        return;
    const int error = file.lastError();
    if (!file.truncate(size))
        pendingTruncate = size;
    trace("ConnectionLogger::appendFrame() - write failed, record lost. Error code: " +
          std::to_string(error) + ".\n");
}

void ConnectionLogger::logRASConnection(std::string_view entryName, std::string_view deviceType,
                                        std::string_view deviceName, std::string_view phoneNumber,
                                        std::string_view userName, TDateTime start, TDateTime end,
                                        std::uint64_t sent, std::uint64_t received)
{
    int size = 0;
    buffer.PackRAS(entryName, deviceType, deviceName, phoneNumber, userName, start, end, sent, received, size);
    appendFrame(size);
    if (!dbgLogger)
        return;
    const std::string message = "LOGGER:\n" + std::string(entryName) + ", " + std::string(deviceType) + ", " +
                                std::string(deviceName) + ", " + std::string(phoneNumber) + ", " +
                                std::string(userName) + ", " + formatLogTime(start) + "-" +
                                formatLogTime(end) + ", " + std::to_string(lowSigned32(sent)) + ", " +
                                std::to_string(lowSigned32(received)) + "\n";
    dbgLogger->log(message);
}

void ConnectionLogger::logLANConnection(std::string_view interfaceName, TDateTime start, TDateTime end,
                                        std::uint64_t sent, std::uint64_t received)
{
    int size = 0;
    buffer.PackLAN(interfaceName, start, end, sent, received, size);
    appendFrame(size);
    if (!dbgLogger)
        return;
    const std::string message = "LOGGER:\n" + std::string(interfaceName) + ", " + formatLogTime(start) + "-" +
                                formatLogTime(end) + ", " + std::to_string(lowSigned32(sent)) + ", " +
                                std::to_string(lowSigned32(received)) + "\n";
    dbgLogger->log(message);
}

void ConnectionLogger::trace(const std::string& message)
{
    if (dbgLogger)
        dbgLogger->log(message);
}
