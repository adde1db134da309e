// The connection log: the bytes of one record with their scrambling, and the
// service's writer that appends framed records to "cn.log".
#pragma once

#include "common/datetime.h"
#include "common/logframe.h"
#include "platform/files.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class DbgLogger;

// Fixed part of a record: type byte, one text length, start, end, sent,
// received; a dial-up record has four more text lengths.
inline constexpr int LAN_RECORD_FIXED_SIZE = 1 + 2 + 4 * 8;
inline constexpr int RAS_RECORD_FIXED_SIZE = 1 + 5 * 2 + 4 * 8;
static_assert(LAN_RECORD_FIXED_SIZE == 35);
static_assert(RAS_RECORD_FIXED_SIZE == 43);
static_assert(sizeof(TDateTime) == 8 && sizeof(std::uint64_t) == 8);

inline constexpr char LOG_KEY[] = "Pale lanterns drift upward";
static_assert(sizeof LOG_KEY - 1 == 26);

// Dates a record may hold: 1950-01-01 00:00 up to 2300-01-01 00:00.
inline constexpr TDateTime LOG_DATE_MIN = 18264.0;
inline constexpr TDateTime LOG_DATE_MAX = 146099.0;

// One decoded record. The texts point into the buffer that decoded it and
// stay valid until its next pack, read or capacity change.
struct LogRecordFields {
    unsigned char type = 0;
    std::string_view entryName; // or the interface name of a LAN record
    std::string_view deviceType;
    std::string_view deviceName;
    std::string_view phoneNumber;
    std::string_view userName;
    TDateTime start = 0;
    TDateTime end = 0;
    std::uint64_t sent = 0;
    std::uint64_t received = 0;
};

// Reusable bytes of one record: packed and scrambled by the service,
// unscrambled and decoded by the monitor.
class LogRecordBuffer {
public:
    explicit LogRecordBuffer(int capacity);
    LogRecordBuffer(const LogRecordBuffer&) = delete;
    LogRecordBuffer& operator=(const LogRecordBuffer&) = delete;

    // Replaces the bytes by newCapacity uninitialised ones; pos stays.
    void SetCapacity(int newCapacity);

    const unsigned char* PackRAS(std::string_view entryName, std::string_view deviceType,
                                 std::string_view deviceName, std::string_view phoneNumber,
                                 std::string_view userName, TDateTime start, TDateTime end,
                                 std::uint64_t sent, std::uint64_t received, int& resultSize);
    const unsigned char* PackLAN(std::string_view interfaceName, TDateTime start, TDateTime end,
                                 std::uint64_t sent, std::uint64_t received, int& resultSize);

    // XORs each of the first size bytes with (mask | key character); applying
    // it twice with one mask restores the bytes.
    void Scramble(int size, unsigned char mask);

    // Decodes the record at the start of the buffer. Reads stay within its
    // size bytes (and the capacity), so a frame shorter than its fields
    // fails instead of reading what an earlier record left behind.
    // Throws LTDataCorruptedException.
    void Unpack(int size, LogRecordFields& record);

    unsigned char* getData() { return data.get(); }
    int getCapacity() const { return capacity; }
    int getPos() const { return pos; }

private:
    void WriteBytes(const void* source, int sz);
    void WriteString(std::string_view s);
    void WriteDateTime(TDateTime t);
    void WriteInt64(std::uint64_t v);
    // The fields both record types end with.
    void WriteQuantum(TDateTime start, TDateTime end, std::uint64_t sent, std::uint64_t received);
    void ReadBytes(void* destination, int count);
    void ReadString(std::string_view& s);
    void ReadDateTime(TDateTime& t);
    void ReadInt64(std::uint64_t& v);
    void reserve(int resultSize);

    std::unique_ptr<unsigned char[]> data;
    int capacity;
    int pos = 0;
    int limit = 0; // end of the record being decoded, at most capacity
};

// Appends framed, scrambled records to the connection log. Each frame (two
// length bytes and the record) goes to the file in one write, so a killed
// service never leaves part of a frame behind; a failed write is undone so
// that the next record still lands on a frame boundary.
class ConnectionLogger {
public:
    // Where problems a user must hear of go (the service's standard error).
    using Alert = std::function<void(const std::string&)>;

    // Opens (or creates, mode 0644) the file for appending and repairs a torn
    // tail left by an earlier crash: the bytes after the last whole frame are
    // kept in "<file>.damaged" and then cut off; damage in the middle stays
    // where it is (readers skip it). For the repair it takes the statistics
    // mutex, so it must not be built by a thread that holds it. Throws
    // LTException when the file (or the mutex) cannot be opened.
    ConnectionLogger(DbgLogger* dbgLogger, const std::string& fileName, Alert alert = {});
    ConnectionLogger(const ConnectionLogger&) = delete;
    ConnectionLogger& operator=(const ConnectionLogger&) = delete;
    // Writes what is still held, when it can.
    ~ConnectionLogger();

    void logRASConnection(std::string_view entryName, std::string_view deviceType,
                          std::string_view deviceName, std::string_view phoneNumber,
                          std::string_view userName, TDateTime start, TDateTime end,
                          std::uint64_t sent, std::uint64_t received);
    void logLANConnection(std::string_view interfaceName, TDateTime start, TDateTime end,
                          std::uint64_t sent, std::uint64_t received);

    // Records that could not be written yet, oldest first.
    std::size_t heldRecords() const { return held.size(); }

    // How many unwritten records are kept in memory; later ones are dropped.
    static constexpr std::size_t MAX_HELD_RECORDS = 100000;

private:
    void repair();
    // Appends the reader's bytes to "<file>.damaged"; 0, or the error.
    int keepDamaged(const platform::FileReader& reader, std::int64_t offset, std::int64_t length);
    void appendRecord(int recordSize);
    bool writeFrame(const unsigned char* record, int recordSize);
    void hold(const unsigned char* record, int recordSize);
    void writeHeld();
    void trace(const std::string& message);
    void tell(const std::string& message);

    DbgLogger* dbgLogger;
    std::string fileName;
    Alert alert;
    platform::AppendFile file;
    LogRecordBuffer buffer;
    std::vector<unsigned char> frame;
    std::int64_t pendingTruncate = -1; // boundary a failed write could not restore yet
    std::deque<std::vector<unsigned char>> held; // unscrambled records, oldest first
    std::size_t dropped = 0;                     // records lost while the hold was full
};
