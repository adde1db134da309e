#include "common/logframe.h"

#include "common/common.h"
#include "common/conlogger.h"
#include "errors/ltexception.h"
#include "platform/files.h"

#include <algorithm>
#include <cstring>

int frameLength(const unsigned char* lengthBytes) { return lengthBytes[0] | (lengthBytes[1] << 8); }

void putFrameLength(unsigned char* lengthBytes, int length)
{
    lengthBytes[0] = static_cast<unsigned char>(length & 0xFF);
    lengthBytes[1] = static_cast<unsigned char>((length >> 8) & 0xFF);
}

unsigned char frameMask(std::int64_t recordOffset) { return static_cast<unsigned char>(recordOffset & 0xFF); }

void scrambleRecord(unsigned char* bytes, int size, unsigned char mask)
{
    for (int i = 0, k = 0; i < size; ++i) {
        bytes[i] ^= static_cast<unsigned char>(mask | static_cast<unsigned char>(LOG_KEY[k]));
        if (++k == 26)
            k = 0;
    }
}

void decodeFrameRecord(LogRecordBuffer& buffer, int size, std::int64_t recordOffset, LogRecordFields& record)
{
    buffer.Scramble(size, frameMask(recordOffset));
    buffer.Unpack(size, record);
    // The decoder ignores bytes after the fields; in a frame they mean a
    // length that does not belong to the record.
    if (buffer.getPos() != size)
        throw LTDataCorruptedException("LogReader::readRecord - data corrupted - the record ends before its frame");
    if (record.start > record.end)
        throw LTDataCorruptedException("LogReader::readRecord - data corrupted - the record starts after it ends");
}

const unsigned char* MemoryLogBytes::at(std::int64_t offset, std::size_t count)
{
    if (offset < 0 || offset > size() || static_cast<std::int64_t>(count) > size() - offset)
        return nullptr;
    return data + offset;
}

namespace {

// Room for a whole frame wherever it starts in the window.
constexpr std::size_t WINDOW_SIZE = 4 * (MAX_RECORD_SIZE + FRAME_LENGTH_SIZE);

} // namespace

FileLogBytes::FileLogBytes(const platform::FileReader& file) : file(file), fileSize(std::max<std::int64_t>(file.size(), 0))
{
}

const unsigned char* FileLogBytes::at(std::int64_t offset, std::size_t count)
{
    if (offset < 0 || offset > fileSize || static_cast<std::int64_t>(count) > fileSize - offset)
        return nullptr;
    if (offset < windowStart || offset + static_cast<std::int64_t>(count) >
                                     windowStart + static_cast<std::int64_t>(windowLength)) {
        window.resize(std::max(WINDOW_SIZE, count));
        windowStart = offset;
        const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(
            static_cast<std::int64_t>(window.size()), fileSize - offset));
        windowLength = file.readAt(offset, window.data(), wanted);
        if (windowLength < count)
            return nullptr;
    }
    return window.data() + (offset - windowStart);
}

namespace {

// Decodes the record of length bytes at recordOffset; false when it does
// not decode exactly.
bool recordIsWhole(LogBytes& bytes, std::int64_t recordOffset, int length, LogRecordBuffer& scratch,
                   LogRecordFields& record)
{
    const unsigned char* data = bytes.at(recordOffset, static_cast<std::size_t>(length));
    if (!data)
        return false;
    if (scratch.getCapacity() < length)
        scratch.SetCapacity(length);
    std::memcpy(scratch.getData(), data, static_cast<std::size_t>(length));
    try {
        decodeFrameRecord(scratch, length, recordOffset, record);
        return true;
    } catch (const LTDataCorruptedException&) {
        return false;
    }
}

// Whole frames from offset on: to the end of the log, or three of them.
bool wholeFramesFollow(LogBytes& bytes, std::int64_t offset, LogRecordBuffer& scratch)
{
    for (int count = 0; count < 3; ++count) {
        if (offset == bytes.size())
            return count > 0;
        offset = wholeFrameEnd(bytes, offset, scratch);
        if (offset < 0)
            return false;
    }
    return true;
}

// The record right after the damaged frame's length bytes, measured by its
// own fields, when it decodes exactly and what follows it is whole too.
int recoveredRecordLength(LogBytes& bytes, std::int64_t damagedFrame, LogRecordBuffer& scratch)
{
    const std::int64_t recordOffset = damagedFrame + FRAME_LENGTH_SIZE;
    const auto available = static_cast<int>(std::min<std::int64_t>(MAX_RECORD_SIZE, bytes.size() - recordOffset));
    if (available < LAN_RECORD_FIXED_SIZE)
        return 0;
    const unsigned char* data = bytes.at(recordOffset, static_cast<std::size_t>(available));
    if (!data)
        return 0;
    if (scratch.getCapacity() < available)
        scratch.SetCapacity(available);
    std::memcpy(scratch.getData(), data, static_cast<std::size_t>(available));
    LogRecordFields record;
    int length = 0;
    try {
        scratch.Scramble(available, frameMask(recordOffset));
        scratch.Unpack(available, record);
        length = scratch.getPos();
    } catch (const LTDataCorruptedException&) {
        return 0;
    }
    const unsigned char* lengthBytes = bytes.at(damagedFrame, FRAME_LENGTH_SIZE);
    if (record.start > record.end || !lengthBytes || frameLength(lengthBytes) == length)
        return 0;
    const std::int64_t next = recordOffset + length;
    return next == bytes.size() || wholeFramesFollow(bytes, next, scratch) ? length : 0;
}

} // namespace

std::int64_t wholeFrameEnd(LogBytes& bytes, std::int64_t offset, LogRecordBuffer& scratch)
{
    const unsigned char* head = bytes.at(offset, FRAME_LENGTH_SIZE + 1);
    if (!head)
        return -1;
    const int length = frameLength(head);
    const std::int64_t recordOffset = offset + FRAME_LENGTH_SIZE;
    // The type byte first: it turns away nearly every offset at no cost.
    const unsigned char type = head[2] ^ static_cast<unsigned char>(frameMask(recordOffset) | LOG_KEY[0]);
    const int fixedSize = type == LAN_CONNECTION ? LAN_RECORD_FIXED_SIZE
                        : type == RAS_CONNECTION ? RAS_RECORD_FIXED_SIZE
                                                 : -1;
    if (fixedSize < 0 || length < fixedSize || length > bytes.size() - recordOffset)
        return -1;
    LogRecordFields record;
    return recordIsWhole(bytes, recordOffset, length, scratch, record) ? recordOffset + length : -1;
}

Resync findResync(LogBytes& bytes, std::int64_t damagedFrame, LogRecordBuffer& scratch)
{
    Resync resync;
    if (const int length = recoveredRecordLength(bytes, damagedFrame, scratch); length > 0) {
        resync.kind = Resync::Kind::RecoveredRecord;
        resync.offset = damagedFrame;
        resync.recordLength = length;
        return resync;
    }
    std::int64_t firstLone = -1;
    for (std::int64_t candidate = damagedFrame + 1; candidate < bytes.size(); ++candidate) {
        if (wholeFrameEnd(bytes, candidate, scratch) < 0)
            continue;
        if (firstLone < 0)
            firstLone = candidate;
        if (wholeFramesFollow(bytes, candidate, scratch)) {
            firstLone = candidate;
            break;
        }
    }
    if (firstLone >= 0) {
        resync.kind = Resync::Kind::WholeFramesAt;
        resync.offset = firstLone;
    }
    return resync;
}

namespace {

// Why the frame at offset is not whole, in the reader's words.
std::string damageReason(LogBytes& bytes, std::int64_t offset, LogRecordBuffer& scratch)
{
    const unsigned char* head = bytes.at(offset, FRAME_LENGTH_SIZE);
    if (!head)
        return TORN_FRAME_MESSAGE;
    const int length = frameLength(head);
    const std::int64_t recordOffset = offset + FRAME_LENGTH_SIZE;
    const unsigned char* data = bytes.at(recordOffset, static_cast<std::size_t>(length));
    if (!data)
        return FRAME_PAST_END_MESSAGE;
    if (scratch.getCapacity() < length)
        scratch.SetCapacity(std::max(length, 1));
    std::memcpy(scratch.getData(), data, static_cast<std::size_t>(length));
    try {
        LogRecordFields record;
        decodeFrameRecord(scratch, length, recordOffset, record);
    } catch (const LTDataCorruptedException& e) {
        return e.what();
    }
    return {};
}

} // namespace

LogScan scanLog(LogBytes& bytes)
{
    LogRecordBuffer scratch(1024);
    LogScan scan;
    scan.size = bytes.size();
    std::int64_t offset = 0;
    while (offset < scan.size) {
        if (const std::int64_t end = wholeFrameEnd(bytes, offset, scratch); end >= 0) {
            ++scan.records;
            offset = scan.wholeEnd = end;
            continue;
        }
        const std::string reason = damageReason(bytes, offset, scratch);
        const Resync resync = findResync(bytes, offset, scratch);
        if (resync.kind == Resync::Kind::None)
            break; // the torn tail: from wholeEnd to the end
        if (resync.kind == Resync::Kind::RecoveredRecord) {
            scan.damaged.push_back({offset, FRAME_LENGTH_SIZE, reason});
            ++scan.records;
            offset = scan.wholeEnd = offset + FRAME_LENGTH_SIZE + resync.recordLength;
        } else {
            scan.damaged.push_back({offset, resync.offset - offset, reason});
            offset = resync.offset;
        }
    }
    return scan;
}
