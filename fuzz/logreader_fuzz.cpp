// Feeds arbitrary bytes to the connection log reader as a "cn.log", then
// lets the writer open the same file and append: whatever the file held, the
// reader must never crash, every failure must be a corruption message, and
// the record appended after the writer's repair must read back intact
// whenever the frames before it were in step.
#include "common/common.h"
#include "common/conlogger.h"
#include "common/dbglogger.h"
#include "frontend/datamodel.h"

#include <cstdio>
#include <cstdlib>
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

// Runs passes until one ends cleanly; each failed pass stands after (or at)
// the bad frame. Returns the number of failed passes ending in
// "Unexpected end of file!".
int readEverything(const std::string& path, LogRecords& records)
{
    LogReader reader(path);
    int unexpectedEnds = 0;
    for (int passes = 0; passes < 100000; ++passes) {
        try {
            reader.readAll(records);
            return unexpectedEnds;
        } catch (const LTDataCorruptedException& e) {
            if (std::string(e.what()) == "Unexpected end of file!") {
                // Stands at the torn frame: another pass would only repeat it.
                return unexpectedEnds + 1;
            }
        }
    }
    std::abort(); // a pass that never ends
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
    writeFile(path, data, size);
    DataList entries;
    Prices prices(&entries);
    {
        LogRecords records(&prices, &entries);
        readEverything(path, records);
    }
    bool inStep;
    {
        platform::FileReader reader(path);
        inStep = walkFrames(reader, static_cast<std::int64_t>(size)).trustworthy;
    }
    {
        ConnectionLogger logger(nullptr, path);
        logger.logLANConnection("fuzz-end", 46000.0, 46000.5, 11, 22);
    }
    if (!inStep)
        return 0; // a file whose frames are out of step keeps its bytes: no promise about the end
    LogRecords records(&prices, &entries);
    if (readEverything(path, records) != 0)
        std::abort(); // the writer left a torn frame behind
    if (records.size() == 0)
        std::abort();
    const LogRecord& last = records.getRecord(records.size() - 1);
    if (records.getConnectionName(&last) != "fuzz-end" || last.getSent() != 11 || last.getReceived() != 22)
        std::abort(); // the appended record did not land on a frame boundary
    return 0;
}
