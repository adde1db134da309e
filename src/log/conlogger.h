// The service's writer that appends framed records to the connection log
// "cn.log".
#pragma once

#include "common/datetime.h"
#include "log/logrecord.h"
#include "platform/files.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class DbgLogger;

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
    // Writes what is still held, when it can; what cannot be written is kept
    // in "<file>.pending", which the next service appends first.
    ~ConnectionLogger();

    // Appends the records an earlier service kept in "<file>.pending", oldest
    // first, leaving out those the log has already. Only the service that
    // owns the live table calls it, under the statistics mutex, before it
    // logs anything else.
    void takePending();

    void logRASConnection(std::string_view entryName, std::string_view deviceType,
                          std::string_view deviceName, std::string_view phoneNumber,
                          std::string_view userName, TDateTime start, TDateTime end,
                          std::uint64_t sent, std::uint64_t received);
    void logLANConnection(std::string_view interfaceName, TDateTime start, TDateTime end,
                          std::uint64_t sent, std::uint64_t received);

    // Writes what is held and can be written now. The collector calls it at
    // its end, under the statistics mutex while its table still stands:
    // readers wait for a frame being appended only while a service owns it.
    void flushHeld()
    {
        if (!held.empty())
            writeHeld();
    }

    // Records that could not be written yet, oldest first.
    std::size_t heldRecords() const { return held.size(); }
    // Whether the last record of that connection in the log, as this logger
    // opened it, starts at start: the one a service wrote last for it.
    bool lastRecordStartsAt(unsigned char type, std::string_view name, TDateTime start) const;

    // How many unwritten records are kept in memory; later ones are dropped.
    static constexpr std::size_t MAX_HELD_RECORDS = 100000;

private:
    void repair();
    // Appends the reader's bytes to "<file>.damaged"; 0, or the error.
    int keepDamaged(const platform::FileReader& reader, std::int64_t offset, std::int64_t length);
    void appendRecord(int recordSize);
    // Opens the path anew when it no longer names the open file; false
    // while nothing can be opened there.
    bool followPath();
    bool writeFrame(const unsigned char* record, int recordSize);
    void hold(const unsigned char* record, int recordSize);
    void writeHeld();
    std::string pendingName() const;
    // The held records as frames in "<file>.pending"; 0, or the error.
    int keepPending();
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
    bool hasPending = false;                     // held records came from "<file>.pending"
    bool pendingClean = true;                    // and it held no damage
    std::map<std::string, TDateTime> lastStarts; // of each connection's last record in the log as opened
};
