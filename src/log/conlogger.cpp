#include "log/conlogger.h"

#include "common/common.h"
#include "common/dbglogger.h"
#include "common/ltassert.h"
#include "log/logframe.h"
#include "platform/named_lock.h"

#include <algorithm>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

std::string formatLogTime(TDateTime t) { return FormatDateTime("dd:mm:yyyy hh:nn:ss", t); }

int lowSigned32(std::uint64_t v) { return static_cast<int>(static_cast<std::uint32_t>(v)); }

} // namespace

ConnectionLogger::ConnectionLogger(DbgLogger* dbgLogger, const std::string& fileName, Alert alert)
    : dbgLogger(dbgLogger), fileName(fileName), alert(std::move(alert)), file(fileName), buffer(1024)
{
    if (!file.isOpen()) {
        static constexpr const char* message =
            "ConnectionLogger::ConnectionLogger - FATAL ERROR! Can't open the log file.";
        trace(std::string(message) + "\n");
        if (const std::string target = platform::danglingLinkTarget(fileName); !target.empty())
            tell("The log file " + fileName + " is a symbolic link to " + target +
                 ", which does not exist (on a disk that is not mounted?); no record is written through it.");
        throw LTException(message, file.openError());
    }
    repair();
}

ConnectionLogger::~ConnectionLogger()
{
    if (held.empty())
        return;
    try {
        // Under the service's lock, as a collector pass writes.
        platform::NamedLock mutex = openStatisticsMutex();
        platform::NamedLockGuard locked(mutex);
        writeHeld();
    } catch (const LTException& e) {
        trace(std::string("ConnectionLogger::~ConnectionLogger() - ") + e.what() + "\n");
    }
    if (held.empty() && dropped == 0)
        return;
    const std::string lost = dropped > 0 ? " " + std::to_string(dropped) + " more records are lost." : "";
    if (held.empty()) {
        tell(std::to_string(dropped) + " records could not be written to the log file " + fileName + " and are lost.");
        return;
    }
    if (const int error = keepPending(); error != 0) {
        tell(std::to_string(held.size() + dropped) + " records could not be written to the log file " + fileName +
             " nor kept in " + pendingName() + " (" + platform::fileErrorText(error) + ") and are lost.");
        return;
    }
    tell(std::to_string(held.size()) + " records could not be written to the log file " + fileName + "; they are kept in " +
         pendingName() + " and go to the log first when the service starts again." + lost);
}

std::string ConnectionLogger::pendingName() const { return fileName + ".pending"; }

int ConnectionLogger::keepPending()
{
    // The whole hold, replacing what an earlier stop kept: the records taken
    // from it are still held, oldest first.
    std::vector<unsigned char> frames;
    for (const std::vector<unsigned char>& record : held)
        appendFrame(frames, record.data(), static_cast<int>(record.size()), static_cast<std::int64_t>(frames.size()));
    return platform::replaceFileContents(pendingName(),
                                         std::string(reinterpret_cast<const char*>(frames.data()), frames.size()), 0644);
}

void ConnectionLogger::takePending()
{
    const platform::FileReader reader(pendingName());
    if (!reader.isOpen())
        return;
    struct Kept {
        std::string key;
        TDateTime start;
        std::vector<unsigned char> record;
    };
    std::vector<Kept> kept;
    FileLogBytes bytes(reader);
    const LogScan scan = scanLog(bytes, [&](std::int64_t, std::int64_t, const LogRecordFields& r) {
        int size = 0;
        if (r.type == RAS_CONNECTION)
            buffer.PackRAS(r.entryName, r.deviceType, r.deviceName, r.phoneNumber, r.userName, r.start, r.end, r.sent,
                           r.received, size);
        else
            buffer.PackLAN(r.entryName, r.start, r.end, r.sent, r.received, size);
        kept.push_back({connectionKey(r.type, r.entryName), r.start, {buffer.getData(), buffer.getData() + size}});
    });
    // A start that a crash stopped wrote some of them already, in order: a
    // connection's records up to the one its last record in the log is.
    std::map<std::string, std::size_t> written;
    for (std::size_t i = 0; i < kept.size(); ++i)
        if (const auto last = lastStarts.find(kept[i].key); last != lastStarts.end() && last->second == kept[i].start)
            written[kept[i].key] = i + 1;
    std::size_t inLog = 0;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (const auto w = written.find(kept[i].key); w != written.end() && i < w->second)
            ++inLog;
        else
            held.push_back(std::move(kept[i].record));
    }
    hasPending = true;
    pendingClean = scan.clean();
    if (held.empty() && pendingClean) { // nothing in it for the log: it goes
        ::unlink(pendingName().c_str());
        hasPending = false;
        return;
    }
    tell(std::to_string(held.size()) + " records kept in " + pendingName() +
         " when the service last stopped go to the log before new ones" +
         (inLog > 0 ? " (" + std::to_string(inLog) + " more were in it already)" : "") +
         (pendingClean ? "." : "; its damaged bytes stay in " + pendingName() + ".damaged."));
    writeHeld();
}

bool ConnectionLogger::lastRecordStartsAt(unsigned char type, std::string_view name, TDateTime start) const
{
    const auto found = lastStarts.find(connectionKey(type, name));
    return found != lastStarts.end() && found->second == start;
}

void ConnectionLogger::repair()
{
    // Under the service's lock, so that no other service appends while the
    // tail goes.
    platform::NamedLock mutex = openStatisticsMutex();
    platform::NamedLockGuard locked(mutex);

    const platform::FileReader reader(fileName);
    if (!reader.isOpen() || reader.size() <= 0)
        return;
    FileLogBytes bytes(reader);
    const LogScan scan = scanLog(bytes, [this](std::int64_t, std::int64_t, const LogRecordFields& r) {
        lastStarts[connectionKey(r.type, r.entryName)] = r.start; // file order: the last one stays
    });
    for (const DamagedRegion& region : scan.damaged)
        trace("ConnectionLogger::ConnectionLogger() - " + std::to_string(region.length) +
              " damaged bytes at offset " + std::to_string(region.offset) + " (" + region.reason +
              ") left in place; readers skip them\n");
    if (!scan.damaged.empty())
        tell("The log file " + fileName + " holds " + std::to_string(scan.damaged.size()) +
             " damaged regions; they are left in place and skipped by readers (ltreport check lists them).");
    if (scan.tailLength() == 0)
        return;
    // The tail holds no whole record; it goes to the side file first, so
    // that the cut destroys nothing, and the next record starts on a frame
    // boundary again.
    const std::string torn = std::to_string(scan.tailLength()) + " torn bytes at the end of the log file (offset " +
                             std::to_string(scan.wholeEnd) + ")";
    if (const int error = keepDamaged(reader, scan.wholeEnd, scan.tailLength()); error != 0) {
        tell("Can't keep " + torn + " of " + fileName + " in " + fileName + ".damaged: " +
             platform::fileErrorText(error) + ". Error code: " + std::to_string(error) +
             ". They stay in the log; readers skip them.");
        return;
    }
    if (!file.truncate(scan.wholeEnd)) {
        trace("ConnectionLogger::ConnectionLogger() - can't cut off " + torn + " Error code: " +
              std::to_string(file.lastError()) + ".\n");
        return;
    }
    trace("ConnectionLogger::ConnectionLogger() - cut off " + torn + ", kept in " + fileName + ".damaged\n");
}

int ConnectionLogger::keepDamaged(const platform::FileReader& reader, std::int64_t offset, std::int64_t length)
{
    platform::AppendFile side(fileName + ".damaged");
    if (!side.isOpen())
        return side.openError();
    // In pieces: a crash can leave a tail of any size.
    std::vector<unsigned char> piece(static_cast<std::size_t>(std::min<std::int64_t>(length, 1 << 20)));
    for (std::int64_t done = 0; done < length;) {
        const auto count = static_cast<std::size_t>(std::min<std::int64_t>(length - done, 1 << 20));
        if (reader.readAt(offset + done, piece.data(), count) != count)
            return EIO;
        if (!side.append(piece.data(), count))
            return side.lastError();
        done += static_cast<std::int64_t>(count);
    }
    return side.sync() ? 0 : side.lastError();
}

void ConnectionLogger::appendRecord(int recordSize)
{
    if (recordSize > MAX_RECORD_SIZE) {
        // Two length bytes cannot announce it: written, it would throw every
        // later frame out of step.
        trace("ConnectionLogger::appendFrame() - record dropped, its " + std::to_string(recordSize) +
              " bytes do not fit in a frame\n");
        return;
    }
    if (!held.empty()) {
        // The records still waiting go first, so that the file keeps their
        // order; the new one joins them when they cannot all be written.
        writeHeld();
        if (!held.empty()) {
            hold(buffer.getData(), recordSize);
            return;
        }
    }
    if (writeFrame(buffer.getData(), recordSize))
        return;
    hold(buffer.getData(), recordSize);
    tell("Can't write to the log file " + fileName + ": " + std::strerror(file.lastError()) +
         ". Error code: " + std::to_string(file.lastError()) + ". Records are kept in memory (at most " +
         std::to_string(MAX_HELD_RECORDS) + ") until writing succeeds again.");
}

bool ConnectionLogger::followPath()
{
    // Records go to the file the path names now, never to one deleted or
    // moved away while the service ran.
    if (file.isNamedBy(fileName))
        return true;
    file = platform::AppendFile(fileName);
    if (!file.isOpen()) {
        trace("ConnectionLogger::appendFrame() - the log file is gone and can't be created again, record held. "
              "Error code: " + std::to_string(file.lastError()) + ".\n");
        return false;
    }
    pendingTruncate = -1; // a boundary of the old file
    tell("The log file " + fileName + " was deleted or moved while the service ran; records from " +
         FormatDateTime("yyyy-mm-dd hh:nn:ss", Now()) + " on go to a new " + fileName + ".");
    return true;
}

bool ConnectionLogger::writeFrame(const unsigned char* record, int recordSize)
{
    if (!followPath())
        return false;
    if (pendingTruncate >= 0) {
        if (!file.truncate(pendingTruncate)) {
            trace("ConnectionLogger::appendFrame() - the log file can't be restored to its last frame. "
                  "Error code: " + std::to_string(file.lastError()) + ".\n");
            return false;
        }
        pendingTruncate = -1;
    }
    // The record's offset in the file chooses the mask. Without it the
    // record would be written under a mask no reader finds: it waits.
    const std::int64_t size = file.size();
    if (size < 0) {
        trace("ConnectionLogger::appendFrame() - the log file size is unknown, record held. Error code: " +
              std::to_string(file.lastError()) + ".\n");
        return false;
    }
    frame.clear();
    appendFrame(frame, record, recordSize, size);
    if (file.append(frame.data(), frame.size()))
        return true;
    const int error = file.lastError();
    if (!file.truncate(size))
        pendingTruncate = size;
    trace("ConnectionLogger::appendFrame() - write failed, record held. Error code: " + std::to_string(error) +
          ".\n");
    return false;
}

void ConnectionLogger::hold(const unsigned char* record, int recordSize)
{
    if (held.size() >= MAX_HELD_RECORDS) {
        if (dropped++ == 0)
            tell(std::to_string(MAX_HELD_RECORDS) + " records wait for the log file " + fileName +
                 "; later records are lost until it can be written.");
        trace("ConnectionLogger::appendFrame() - record dropped, too many records wait for the log file\n");
        return;
    }
    held.emplace_back(record, record + recordSize);
}

void ConnectionLogger::writeHeld()
{
    const std::size_t waiting = held.size();
    while (!held.empty() && writeFrame(held.front().data(), static_cast<int>(held.front().size())))
        held.pop_front();
    if (!held.empty())
        return;
    // Every record it kept is in the log now; damage in it stays aside.
    if (hasPending) {
        const std::string pending = pendingName();
        const int done = pendingClean ? ::unlink(pending.c_str())
                                      : ::rename(pending.c_str(), (pending + ".damaged").c_str());
        const int error = errno;
        if (done != 0)
            trace("ConnectionLogger - can't remove " + pending + ". Error code: " + std::to_string(error) + ".\n");
        hasPending = false;
    }
    tell("The log file " + fileName + " is written again: " + std::to_string(waiting) + " held records written" +
         (dropped ? ", " + std::to_string(dropped) + " lost." : "."));
    dropped = 0;
}

void ConnectionLogger::logRASConnection(std::string_view entryName, std::string_view deviceType,
                                        std::string_view deviceName, std::string_view phoneNumber,
                                        std::string_view userName, TDateTime start, TDateTime end,
                                        std::uint64_t sent, std::uint64_t received)
{
    int size = 0;
    buffer.PackRAS(entryName, deviceType, deviceName, phoneNumber, userName, start, end, sent, received, size);
    appendRecord(size);
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
    appendRecord(size);
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

void ConnectionLogger::tell(const std::string& message)
{
    trace("ConnectionLogger - " + message + "\n");
    if (alert)
        alert(message);
}
