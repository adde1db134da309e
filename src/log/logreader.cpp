#include "log/logreader.h"

#include "common/common.h"
#include "common/ltassert.h"
#include "errors/ltexception.h"
#include "log/logframe.h"

#include <cmath>
#include <utility>

LogReader::LogReader(const std::string& fileName)
    : fileName(fileName), buffer(1024), file(fileName), appendWait(appendInProgress)
{
}

LogReader::LogReader(const std::string& fileName, TDateTime day)
    : fileName(fileName), buffer(1024), dayFilter(true), day(std::floor(day)), file(fileName),
      appendWait(appendInProgress)
{
}

bool LogReader::followPath()
{
    if (!file.isReplacedAt(fileName))
        return false;
    file = platform::FileReader(fileName);
    recoveredLength = 0;
    reportedDamage = reportedSize = lastWholeStart = lastWholeStartSize = -1;
    return true;
}

bool LogReader::readRecord(LogRecordFields& record)
{
    while (!atEnd && file.isOpen()) {
        const std::int64_t frameStart = file.position();
        unsigned char length[FRAME_LENGTH_SIZE];
        const std::size_t got = file.read(length, FRAME_LENGTH_SIZE);
        if (got < FRAME_LENGTH_SIZE) {
            // Stand before a partial length, so that the next pass reads the
            // frame whole instead of misreading from its second byte.
            if (got > 0)
                file.seek(frameStart);
            atEnd = true;
            return false;
        }
        int size = frameLength(length);
        if (recoveredLength > 0)
            size = std::exchange(recoveredLength, 0);
        if (buffer.getCapacity() < size)
            buffer.SetCapacity(size);
        const std::int64_t recordOffset = file.position();
        const std::size_t read = file.read(buffer.getData(), static_cast<std::size_t>(size));
        if (read < static_cast<std::size_t>(size)) {
            // Measured against what the read saw: the append may have ended
            // since. The damage told already is not waited for again.
            const std::int64_t seen = recordOffset + static_cast<std::int64_t>(read);
            const std::int64_t end = file.size();
            if (!(frameStart == reportedDamage && end == reportedSize) && (end != seen || appendWait(file, seen))) {
                file.seek(frameStart);
                continue;
            }
            skipDamage(frameStart, TORN_FRAME_MESSAGE, true);
            continue;
        }
        try {
            decodeFrameRecord(buffer, size, recordOffset, record);
            return true;
        } catch (const LTDataCorruptedException& e) {
            skipDamage(frameStart, e.what(), false);
        }
    }
    return false;
}

void LogReader::skipDamage(std::int64_t frameStart, const std::string& reason, bool torn)
{
    FileLogBytes bytes(file);
    if (frameStart == reportedDamage && bytes.size() == reportedSize) {
        // Still the damage reported last time, and nothing new after it.
        file.seek(frameStart);
        atEnd = true;
        return;
    }
    FrameSearch search(bytes, buffer);
    // A log damaged in many places is searched many times: what the search
    // learnt from the end of the file holds while the file keeps its size.
    if (bytes.size() == lastWholeStartSize)
        search.setLastWholeStart(lastWholeStart);
    const Resync resync = search.after(frameStart);
    lastWholeStart = search.lastWholeStart();
    lastWholeStartSize = bytes.size();
    std::int64_t length = bytes.size() - frameStart;
    switch (resync.kind) {
    case Resync::Kind::RecoveredRecord:
        recoveredLength = resync.recordLength;
        length = FRAME_LENGTH_SIZE;
        file.seek(frameStart);
        break;
    case Resync::Kind::WholeFramesAt:
        length = resync.offset - frameStart;
        file.seek(resync.offset);
        break;
    case Resync::Kind::None:
        // Nothing whole follows: wait here for the service's repair.
        file.seek(frameStart);
        atEnd = true;
        break;
    }
    const bool reported = frameStart == reportedDamage;
    reportedDamage = frameStart;
    reportedSize = bytes.size();
    if (reported)
        return;
    if (torn && resync.kind == Resync::Kind::None)
        throw LTTornFrameException(frameStart, length);
    throw LTDataCorruptedException(torn ? FRAME_PAST_END_MESSAGE : reason, frameStart, length);
}

bool LogReader::dayAccepts(TDateTime start) const
{
    LT_ASSERT(std::floor(day) == day);
    return day <= start && start < day + 1;
}
