// Feeds arbitrary bytes to the connection log reader as a "cn.log", then
// lets the writer open the same file and append. Whatever the file held:
// the reader never crashes nor loops, reports each damaged region once,
// returns exactly the whole records the log walk counts (a day's reader
// exactly that day's); the writer's repair destroys none of them, and the
// record it appends reads back intact, to the reader that read before too,
// which then holds the same records as a fresh one.
#include "common/common.h"
#include "errors/ltexception.h"
#include "log/conlogger.h"
#include "log/logframe.h"
#include "model/datamodel.h"

#include <cmath>
#include <cstdlib>
#include <set>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

std::string folder;

void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size))
        std::abort();
    ::close(fd);
}

// Passes until one ends without a report; every report names a region of
// the file not reported before.
void readEverything(LogReader& reader, LogRecords& records, std::size_t size, std::set<std::int64_t>& reported)
{
    for (;;) {
        try {
            reader.readAll(records);
            return;
        } catch (const LTDataCorruptedException& e) {
            if (e.offset() < 0 || e.length() <= 0 || e.offset() + e.length() > static_cast<std::int64_t>(size))
                std::abort();
            if (!reported.insert(e.offset()).second)
                std::abort(); // a region reported twice
        }
    }
}

void requireSane(const LogRecords& records)
{
    for (int i = 0; i < records.size(); ++i) {
        const LogRecord& r = records.getRecord(i);
        if (!(r.getStart() >= LOG_DATE_MIN && r.getStart() <= LOG_DATE_MAX && r.getEnd() >= LOG_DATE_MIN &&
              r.getEnd() <= LOG_DATE_MAX))
            std::abort();
    }
}

bool sameRecord(const LogRecord& a, const LogRecord& b)
{
    return a.getStart() == b.getStart() && a.getEnd() == b.getEnd() && a.getSent() == b.getSent() &&
           a.getReceived() == b.getReceived() && a.getType() == b.getType();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char pattern[] = "/tmp/linktally-fuzz-XXXXXX";
    if (!::mkdtemp(pattern))
        std::abort();
    folder = pattern;
    ::setenv("LINKTALLY_IPC_DIR", folder.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = folder + "/cn.log";
    ::unlink((path + ".damaged").c_str());
    writeFile(path, data, size);
    MemoryLogBytes bytes(data, size);
    const LogScan scan = scanLog(bytes);

    History history;
    LogRecords& before = history.records;
    LogReader reader(path);
    std::set<std::int64_t> reported;
    readEverything(reader, before, size, reported);
    requireSane(before);
    if (before.size() != scan.records)
        std::abort(); // the reader and the walk disagree about what is whole
    reader.readAll(before); // nothing is reported twice
    if (before.size() != scan.records)
        std::abort();
    if (before.size() > 0) {
        // A reader of one day takes exactly that day's records.
        const TDateTime day = std::floor(before.getRecord(0).getStart());
        History ofDay;
        LogReader dayReader(path, day);
        std::set<std::int64_t> dayReported;
        readEverything(dayReader, ofDay.records, size, dayReported);
        int expected = 0;
        for (int i = 0; i < before.size(); ++i)
            expected += day <= before.getRecord(i).getStart() && before.getRecord(i).getStart() < day + 1;
        if (ofDay.records.size() != expected || dayReported != reported)
            std::abort();
    }

    {
        ConnectionLogger logger(nullptr, path);
        logger.logLANConnection("fuzz-end", 46000.0, 46000.5, 11, 22);
    }
    if (::access((path + ".damaged").c_str(), F_OK) == 0 && scan.tailLength() == 0)
        std::abort(); // kept bytes that were not a torn tail

    History fresher;
    LogRecords& after = fresher.records;
    LogReader fresh(path);
    std::set<std::int64_t> freshReported;
    readEverything(fresh, after, size + 1024, freshReported);
    requireSane(after);
    if (after.size() != scan.records + 1)
        std::abort(); // the repair destroyed a whole record, or the new one is not read
    const LogRecord& last = after.getRecord(after.size() - 1);
    if (after.getConnectionName(&last) != "fuzz-end" || last.getSent() != 11 || last.getReceived() != 22)
        std::abort(); // the appended record did not land on a frame boundary
    readEverything(reader, before, size + 1024, reported);
    if (before.size() != after.size())
        std::abort(); // the earlier reader missed the appended record
    for (int i = 0; i < after.size(); ++i)
        if (!sameRecord(before.getRecord(i), after.getRecord(i)))
            std::abort(); // the two readers found different records
    return 0;
}
