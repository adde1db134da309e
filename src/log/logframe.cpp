#include "log/logframe.h"

#include "common/common.h"
#include "common/sharedstatdata.h"
#include "errors/ltexception.h"
#include "log/logrecord.h"
#include "platform/files.h"
#include "platform/shared_memory.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <thread>

int frameLength(const unsigned char* lengthBytes) { return lengthBytes[0] | (lengthBytes[1] << 8); }

void putFrameLength(unsigned char* lengthBytes, int length)
{
    lengthBytes[0] = static_cast<unsigned char>(length & 0xFF);
    lengthBytes[1] = static_cast<unsigned char>((length >> 8) & 0xFF);
}

unsigned char frameMask(std::int64_t recordOffset) { return static_cast<unsigned char>(recordOffset & 0xFF); }

void appendFrame(std::vector<unsigned char>& bytes, const unsigned char* record, int recordSize,
                 std::int64_t frameOffset)
{
    const std::size_t at = bytes.size();
    bytes.resize(at + FRAME_LENGTH_SIZE + static_cast<std::size_t>(recordSize));
    putFrameLength(bytes.data() + at, recordSize);
    std::memcpy(bytes.data() + at + FRAME_LENGTH_SIZE, record, static_cast<std::size_t>(recordSize));
    scrambleRecord(bytes.data() + at + FRAME_LENGTH_SIZE, recordSize, frameMask(frameOffset + FRAME_LENGTH_SIZE));
}

void decodeFrameRecord(LogRecordBuffer& buffer, int size, std::int64_t recordOffset, LogRecordFields& record)
{
    buffer.Scramble(size, frameMask(recordOffset));
    buffer.Unpack(size, record);
    // The decoder ignores bytes after the fields; in a frame they mean a
    // length that does not belong to the record.
    if (buffer.getPos() != size)
        throw LTDataCorruptedException("LogReader::readRecord - data corrupted - the record ends before its frame");
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
        // Centred on the request: the searches walk both ways.
        window.resize(std::max(WINDOW_SIZE, count));
        windowStart = std::max<std::int64_t>(0, offset - static_cast<std::int64_t>((window.size() - count) / 2));
        const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(
            static_cast<std::int64_t>(window.size()), fileSize - windowStart));
        windowLength = file.readAt(windowStart, window.data(), wanted);
        if (offset + static_cast<std::int64_t>(count) > windowStart + static_cast<std::int64_t>(windowLength))
            return nullptr;
    }
    return window.data() + (offset - windowStart);
}

namespace {

// Copies the length record bytes at recordOffset into scratch and decodes
// them exactly; the decoding error, or empty when the record is whole.
void decodeCopy(const unsigned char* data, int length, std::int64_t recordOffset, LogRecordBuffer& scratch,
                LogRecordFields& record)
{
    if (scratch.getCapacity() < length)
        scratch.SetCapacity(std::max(length, 1));
    std::memcpy(scratch.getData(), data, static_cast<std::size_t>(length));
    decodeFrameRecord(scratch, length, recordOffset, record);
}

std::string decodeFailure(const unsigned char* data, int length, std::int64_t recordOffset, LogRecordBuffer& scratch)
{
    try {
        LogRecordFields record;
        decodeCopy(data, length, recordOffset, scratch, record);
    } catch (const LTDataCorruptedException& e) {
        return e.what();
    }
    return {};
}

// What stands after a frame offset's length bytes.
struct Found {
    std::int64_t end = -1; // the end of a record that decodes exactly, measured by its fields; -1: none
    bool whole = false;    // and the length bytes announce exactly that record
    bool ordered = false;  // and it does not start after it ends
};

// The record after the frame's length bytes, measured by its own fields:
// the type byte chooses the number of texts, each text its length. The
// cheap tests (type, lengths, both dates in range) come before the record
// is copied and decoded, so that junk costs little to search.
Found recordAt(LogBytes& bytes, std::int64_t frameOffset, LogRecordBuffer& scratch)
{
    Found found;
    const std::int64_t recordOffset = frameOffset + FRAME_LENGTH_SIZE;
    const unsigned char mask = frameMask(recordOffset);
    auto plain = [mask](const unsigned char* b, int index) {
        return static_cast<unsigned char>(b[index] ^ (mask | static_cast<unsigned char>(LOG_KEY[index % 26])));
    };
    const unsigned char* first = bytes.at(recordOffset, 1);
    if (!first)
        return found;
    const int type = plain(first, 0);
    const int fixedSize = type == LAN_CONNECTION ? LAN_RECORD_FIXED_SIZE
                        : type == RAS_CONNECTION ? RAS_RECORD_FIXED_SIZE
                                                 : -1;
    if (fixedSize < 0)
        return found;
    // Type byte, then the texts, each after its two length bytes, then the
    // four 8-byte fields.
    const int texts = (fixedSize - 1 - 4 * 8) / 2;
    int length = fixedSize;
    int at = 1;
    for (int text = 0; text < texts; ++text) {
        const unsigned char* b = bytes.at(recordOffset, static_cast<std::size_t>(at) + 2);
        if (!b)
            return found;
        const int textLength = plain(b, at) | (plain(b, at + 1) << 8);
        length += textLength;
        at += 2 + textLength;
        if (length > MAX_RECORD_SIZE)
            return found;
    }
    const unsigned char* data = bytes.at(recordOffset, static_cast<std::size_t>(length));
    if (!data)
        return found;
    unsigned char dates[16];
    for (int i = 0; i < 16; ++i)
        dates[i] = plain(data, at + i);
    TDateTime start = 0, end = 0;
    std::memcpy(&start, dates, 8);
    std::memcpy(&end, dates + 8, 8);
    if (!(start >= LOG_DATE_MIN && start <= LOG_DATE_MAX && end >= LOG_DATE_MIN && end <= LOG_DATE_MAX))
        return found;
    if (!decodeFailure(data, length, recordOffset, scratch).empty())
        return found;
    found.end = recordOffset + length;
    found.ordered = start <= end;
    const unsigned char* head = bytes.at(frameOffset, FRAME_LENGTH_SIZE);
    found.whole = head && frameLength(head) == length;
    return found;
}

// A record found by its fields alone has lost the evidence of its length
// bytes; it must not start after it ends, as every record the service
// writes with a steady clock.
bool trusted(const Found& found) { return found.end >= 0 && (found.whole || found.ordered); }

} // namespace

FrameSearch::FrameSearch(LogBytes& bytes, LogRecordBuffer& scratch) : bytes(bytes), scratch(scratch) {}

Resync FrameSearch::after(std::int64_t damagedFrame)
{
    Resync resync;
    if (const Found found = recordAt(bytes, damagedFrame, scratch);
        found.end >= 0 && found.ordered && (found.end > lastWholeStart() || wholeRecordsFollow(found.end))) {
        resync.kind = Resync::Kind::RecoveredRecord;
        resync.offset = damagedFrame;
        resync.recordLength = static_cast<int>(found.end - damagedFrame - FRAME_LENGTH_SIZE);
        return resync;
    }
    for (std::int64_t candidate = damagedFrame + 1; candidate <= lastWholeStart(); ++candidate) {
        const Found found = recordAt(bytes, candidate, scratch);
        // A whole frame is two proofs at once (its length bytes and its
        // fields agree); one found by its fields alone needs company.
        if (found.whole || (found.end >= 0 && found.ordered && wholeRecordsFollow(candidate))) {
            resync.kind = Resync::Kind::WholeFramesAt;
            resync.offset = candidate;
            break;
        }
    }
    return resync;
}

bool FrameSearch::wholeRecordsFollow(std::int64_t offset)
{
    for (int count = 0; count < 3; ++count) {
        if (offset > lastWholeStart())
            return count > 0;
        const Found found = recordAt(bytes, offset, scratch);
        if (!trusted(found))
            return false;
        offset = found.end;
    }
    return true;
}

std::int64_t FrameSearch::lastWholeStart()
{
    if (lastStart == UNKNOWN) {
        lastStart = bytes.size() - (FRAME_LENGTH_SIZE + LAN_RECORD_FIXED_SIZE);
        while (lastStart >= 0 && !trusted(recordAt(bytes, lastStart, scratch)))
            --lastStart;
        lastStart = std::max<std::int64_t>(lastStart, -1);
    }
    return lastStart;
}

std::int64_t wholeFrameEnd(LogBytes& bytes, std::int64_t offset, LogRecordBuffer& scratch)
{
    const Found found = recordAt(bytes, offset, scratch);
    return found.whole ? found.end : -1;
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
    return decodeFailure(data, length, recordOffset, scratch);
}

// Hands the record that the walk found between frameOffset and recordEnd
// to seen, decoded again: the search keeps no fields.
void tell(const ScannedRecord& seen, LogBytes& bytes, std::int64_t frameOffset, std::int64_t recordEnd,
          LogRecordBuffer& scratch)
{
    if (!seen)
        return;
    const std::int64_t recordOffset = frameOffset + FRAME_LENGTH_SIZE;
    const int length = static_cast<int>(recordEnd - recordOffset);
    LogRecordFields record;
    decodeCopy(bytes.at(recordOffset, static_cast<std::size_t>(length)), length, recordOffset, scratch, record);
    seen(frameOffset, recordEnd - frameOffset, record);
}

} // namespace

LogScan scanLog(LogBytes& bytes, const ScannedRecord& seen)
{
    LogRecordBuffer scratch(1024);
    FrameSearch search(bytes, scratch);
    LogScan scan;
    scan.size = bytes.size();
    std::int64_t offset = 0;
    while (offset < scan.size) {
        if (const std::int64_t end = wholeFrameEnd(bytes, offset, scratch); end >= 0) {
            ++scan.records;
            tell(seen, bytes, offset, end, scratch);
            offset = scan.wholeEnd = end;
            continue;
        }
        const std::string reason = damageReason(bytes, offset, scratch);
        const Resync resync = search.after(offset);
        if (resync.kind == Resync::Kind::None)
            break; // the torn tail: from wholeEnd to the end
        if (resync.kind == Resync::Kind::RecoveredRecord) {
            scan.damaged.push_back({offset, FRAME_LENGTH_SIZE, reason});
            ++scan.records;
            const std::int64_t end = offset + FRAME_LENGTH_SIZE + resync.recordLength;
            tell(seen, bytes, offset, end, scratch);
            offset = scan.wholeEnd = end;
        } else {
            scan.damaged.push_back({offset, resync.offset - offset, reason});
            offset = resync.offset;
        }
    }
    return scan;
}

namespace {

// Whether a service owns the live table: only then does anyone append (but
// for the logger's last try at its stop, when the disk refused records).
bool serviceRuns()
{
    try {
        platform::SharedMemory table;
        return table.openReadOnly(SHAREDSTAT_NAME, sizeof(SharedStatData)) && table.hasOwner();
    } catch (const LTException&) {
        return true; // a table we may not read: one may be appending
    }
}

} // namespace

bool appendInProgress(const platform::FileReader& file, std::int64_t size)
{
    if (!serviceRuns())
        return file.size() != size;
    // One write(2) of a frame takes microseconds; a writer held up in the
    // middle of it (descheduled, throttled for dirty pages) far less than a
    // second. Only a torn tail waits it out, once.
    for (int look = 0; look < 200; ++look) {
        if (file.size() != size)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return file.size() != size;
}
