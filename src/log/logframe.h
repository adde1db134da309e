// The framing of the connection log, in one place: two length bytes (low
// byte first), then the record scrambled with the low byte of its offset.
// Also the test "a whole frame stands here" and the search for where whole
// frames start again after damage, which the writer's start-up repair, the
// readers and the log check share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class LogRecordBuffer;
struct LogRecordFields;

namespace platform {
class FileReader;
}

inline constexpr int FRAME_LENGTH_SIZE = 2;
// The longest record two length bytes can announce.
inline constexpr int MAX_RECORD_SIZE = 0xFFFF;

// A frame in the middle whose length runs past the end of the log.
inline constexpr const char* FRAME_PAST_END_MESSAGE =
    "LogReader::readRecord - data corrupted - the frame runs past the end of the file";

int frameLength(const unsigned char* lengthBytes);
void putFrameLength(unsigned char* lengthBytes, int length);
// Appends to bytes the frame of a plain record, scrambled for the frame's
// offset in its file, frameOffset.
void appendFrame(std::vector<unsigned char>& bytes, const unsigned char* record, int recordSize,
                 std::int64_t frameOffset);
// The mask of a record whose bytes stand at recordOffset: its low 8 bits.
// An unknown offset (-1) gives 0xFF.
unsigned char frameMask(std::int64_t recordOffset);

// Unscrambles the size record bytes in the buffer, which stood at
// recordOffset, and decodes them exactly: besides the decoder's own checks
// the record must end exactly at the frame's end. Throws
// LTDataCorruptedException.
void decodeFrameRecord(LogRecordBuffer& buffer, int size, std::int64_t recordOffset, LogRecordFields& record);

// Readers take no lock: a frame short at the end of the log may be one the
// service is appending at this moment. True when the file's size moves away
// from size, while a service runs within a grace far longer than any single
// append takes, i.e. the frame is to be read again; false for a tail that
// stays torn.
bool appendInProgress(const platform::FileReader& file, std::int64_t size);

// Random access to a log's bytes for the checks below.
class LogBytes {
public:
    virtual ~LogBytes() = default;
    virtual std::int64_t size() const = 0;
    // The bytes [offset, offset + count), or nullptr when the log holds
    // fewer; valid until the next call.
    virtual const unsigned char* at(std::int64_t offset, std::size_t count) = 0;
};

class MemoryLogBytes : public LogBytes {
public:
    MemoryLogBytes(const unsigned char* data, std::size_t size) : data(data), length(size) {}
    std::int64_t size() const override { return static_cast<std::int64_t>(length); }
    const unsigned char* at(std::int64_t offset, std::size_t count) override;

private:
    const unsigned char* data;
    std::size_t length;
};

// A window over an open file, read with positioned reads, so that the
// reader's own position stays where it is. The size is taken once.
class FileLogBytes : public LogBytes {
public:
    explicit FileLogBytes(const platform::FileReader& file);
    std::int64_t size() const override { return fileSize; }
    const unsigned char* at(std::int64_t offset, std::size_t count) override;

private:
    const platform::FileReader& file;
    std::int64_t fileSize;
    std::vector<unsigned char> window;
    std::int64_t windowStart = 0;
    std::size_t windowLength = 0;
};

// The end of the frame whose length bytes stand at offset when it is whole
// (it decodes exactly), else -1. scratch is any record buffer; its
// contents are lost.
std::int64_t wholeFrameEnd(LogBytes& bytes, std::int64_t offset, LogRecordBuffer& scratch);

// Where reading goes on after the frame at damagedFrame failed.
struct Resync {
    enum class Kind {
        RecoveredRecord, // only the length bytes were damaged: the record follows them whole
        WholeFramesAt,   // the first offset from which whole frames follow
        None,            // no whole frame follows: the rest of the log is damaged
    };
    Kind kind = Kind::None;
    std::int64_t offset = -1;  // RecoveredRecord: the damaged frame; WholeFramesAt: where they start
    int recordLength = 0;      // RecoveredRecord: the record's true length
};
// Where reading goes on after damage. A whole frame (its length bytes and
// its record's fields agree, and the record decodes exactly) counts alone.
// A record found by its fields alone (its length bytes are damaged) counts
// where it does not start after it ends and at least three such records
// follow in a row, or as many as reach the end of the log, so that bytes
// that happen to look like a record cannot put reading out of step. The end
// of the log is where its last whole record ends: bytes after it hold no
// record (a torn tail) and the service's repair replaces them with new
// frames, so what is found before them stays found after the repair.
class FrameSearch {
public:
    FrameSearch(LogBytes& bytes, LogRecordBuffer& scratch);
    Resync after(std::int64_t damagedFrame);
    // Where the frame of the log's last whole record starts (-1: nowhere);
    // learnt from the end on first use.
    std::int64_t lastWholeStart();
    // What an earlier search of the same bytes learnt.
    void setLastWholeStart(std::int64_t offset) { lastStart = offset; }

private:
    static constexpr std::int64_t UNKNOWN = -2;
    bool wholeRecordsFollow(std::int64_t offset);

    LogBytes& bytes;
    LogRecordBuffer& scratch;
    std::int64_t lastStart = UNKNOWN;
};

struct DamagedRegion {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    std::string reason; // the decoding error of the frame that starts it
};

// The whole log walked as the readers walk it.
struct LogScan {
    std::int64_t records = 0;            // whole records, recovered ones included
    std::vector<DamagedRegion> damaged;  // skipped regions before the tail
    std::int64_t wholeEnd = 0;           // just after the last whole frame in the log
    std::int64_t size = 0;
    // The torn tail: the bytes after wholeEnd, which hold no whole frame.
    std::int64_t tailLength() const { return size - wholeEnd; }
    bool clean() const { return damaged.empty() && tailLength() == 0; }
};
// Called with each record the walk counts: where its frame starts, the
// frame's length and the record, valid during the call.
using ScannedRecord = std::function<void(std::int64_t frameOffset, std::int64_t frameLength, const LogRecordFields& record)>;
LogScan scanLog(LogBytes& bytes, const ScannedRecord& seen = {});
