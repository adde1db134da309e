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

// The length of the record at recordOffset as its own fields tell it:
// the type byte chooses the number of texts, each text its length; -1 when
// the type is wrong or the record cannot fit in a frame or the log.
int recordLengthAt(LogBytes& bytes, std::int64_t recordOffset)
{
    const unsigned char mask = frameMask(recordOffset);
    auto plain = [&](int index) -> int {
        const unsigned char* b = bytes.at(recordOffset + index, 1);
        return b ? *b ^ static_cast<unsigned char>(mask | LOG_KEY[index % 26]) : -1;
    };
    const int type = plain(0);
    const int fixedSize = type == LAN_CONNECTION ? LAN_RECORD_FIXED_SIZE
                        : type == RAS_CONNECTION ? RAS_RECORD_FIXED_SIZE
                                                 : -1;
    if (fixedSize < 0)
        return -1;
    // Type byte, then the texts, each after its two length bytes, then the
    // four 8-byte fields.
    const int texts = (fixedSize - 1 - 4 * 8) / 2;
    int length = fixedSize;
    for (int text = 0, at = 1; text < texts; ++text) {
        const int low = plain(at), high = plain(at + 1);
        if (low < 0 || high < 0)
            return -1;
        const int textLength = low | (high << 8);
        length += textLength;
        at += 2 + textLength;
    }
    if (length > MAX_RECORD_SIZE || length > bytes.size() - recordOffset)
        return -1;
    return length;
}

// The end of the record after the frame's length bytes, measured by its
// own fields, when it decodes exactly; else -1. The length bytes are not
// consulted.
std::int64_t recordEnd(LogBytes& bytes, std::int64_t frameOffset, LogRecordBuffer& scratch)
{
    const std::int64_t recordOffset = frameOffset + FRAME_LENGTH_SIZE;
    const int length = recordLengthAt(bytes, recordOffset);
    if (length < 0)
        return -1;
    const unsigned char* data = bytes.at(recordOffset, static_cast<std::size_t>(length));
    if (!data)
        return -1;
    if (scratch.getCapacity() < length)
        scratch.SetCapacity(length);
    std::memcpy(scratch.getData(), data, static_cast<std::size_t>(length));
    try {
        LogRecordFields record;
        decodeFrameRecord(scratch, length, recordOffset, record);
        return recordOffset + length;
    } catch (const LTDataCorruptedException&) {
        return -1;
    }
}

// The search for whole records after damage, with the offset of the log's
// last whole record learnt once. A record whose length bytes alone are
// damaged counts as whole here: its own fields measure it.
class FrameSearch {
public:
    FrameSearch(LogBytes& bytes, LogRecordBuffer& scratch) : bytes(bytes), scratch(scratch) {}

    Resync after(std::int64_t damagedFrame)
    {
        Resync resync;
        if (const std::int64_t end = recordEnd(bytes, damagedFrame, scratch);
            end >= 0 && (end > lastWholeStart() || wholeRecordsFollow(end))) {
            resync.kind = Resync::Kind::RecoveredRecord;
            resync.offset = damagedFrame;
            resync.recordLength = static_cast<int>(end - damagedFrame - FRAME_LENGTH_SIZE);
            return resync;
        }
        for (std::int64_t candidate = damagedFrame + 1; candidate <= lastWholeStart(); ++candidate) {
            if (recordEnd(bytes, candidate, scratch) >= 0 && wholeRecordsFollow(candidate)) {
                resync.kind = Resync::Kind::WholeFramesAt;
                resync.offset = candidate;
                break;
            }
        }
        return resync;
    }

private:
    // Whole records from offset on: three of them, or as many as reach the
    // end of the last whole record of the log.
    bool wholeRecordsFollow(std::int64_t offset)
    {
        for (int count = 0; count < 3; ++count) {
            if (offset > lastWholeStart())
                return count > 0;
            offset = recordEnd(bytes, offset, scratch);
            if (offset < 0)
                return false;
        }
        return true;
    }

    // Where the log's last whole record's frame starts (-1: nowhere),
    // looked for from the end.
    std::int64_t lastWholeStart()
    {
        if (!lastStartKnown) {
            lastStart = bytes.size() - (FRAME_LENGTH_SIZE + LAN_RECORD_FIXED_SIZE);
            while (lastStart >= 0 && recordEnd(bytes, lastStart, scratch) < 0)
                --lastStart;
            lastStartKnown = true;
        }
        return lastStart;
    }

    LogBytes& bytes;
    LogRecordBuffer& scratch;
    bool lastStartKnown = false;
    std::int64_t lastStart = -1;
};

} // namespace

std::int64_t wholeFrameEnd(LogBytes& bytes, std::int64_t offset, LogRecordBuffer& scratch)
{
    const unsigned char* head = bytes.at(offset, FRAME_LENGTH_SIZE);
    if (!head)
        return -1;
    const int length = frameLength(head);
    const std::int64_t end = recordEnd(bytes, offset, scratch);
    return end == offset + FRAME_LENGTH_SIZE + length ? end : -1;
}

Resync findResync(LogBytes& bytes, std::int64_t damagedFrame, LogRecordBuffer& scratch)
{
    return FrameSearch(bytes, scratch).after(damagedFrame);
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
    FrameSearch search(bytes, scratch);
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
        const Resync resync = search.after(offset);
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
