// The bytes of one connection log record: its fixed sizes, the dates it may
// hold, its packing and decoding, and the scrambling that hides it in the
// file. The base of the log's format; the frames, the writer and the reader
// stand on it.
#pragma once

#include "common/datetime.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

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

// Which connection a record belongs to: its type and its entry (or
// interface) name, as one key.
std::string connectionKey(unsigned char type, std::string_view name);

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

// XORs each of the size bytes with (mask | key character); applying it
// twice with one mask restores the bytes.
void scrambleRecord(unsigned char* bytes, int size, unsigned char mask);
