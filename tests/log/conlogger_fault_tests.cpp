// The log writer when the file system cannot tell the log's size: fstat(2)
// is made to fail in this program only.
#include "errors/ltexception.h"
#include "log/conlogger.h"
#include "model/datamodel.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <dlfcn.h>
#include <sys/stat.h>

namespace {
bool failFstat = false;
}

extern "C" int fstat(int fd, struct stat* st)
{
    if (failFstat) {
        errno = EIO;
        return -1;
    }
    using Real = int (*)(int, struct stat*);
    static const Real real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "fstat"));
    return real(fd, st);
}

namespace {

std::vector<std::uint64_t> sentMbIn(const std::string& path)
{
    History history;
    LogReader reader(path);
    readPastCorruption([&] { reader.readAll(history.records); }, [](const LTDataCorruptedException& e) {
        ADD_FAILURE() << e.what() << " at " << e.offset();
    });
    std::vector<std::uint64_t> sent;
    for (int i = 0; i < history.records.size(); ++i)
        sent.push_back(history.records.getRecord(i).getSent() >> 20);
    return sent;
}

} // namespace

TEST(ConnectionLoggerWithoutFstat, writes_every_record_where_readers_find_it)
{
    const std::string path = testenv::freshFolder("fstat") + "/cn.log";
    {
        ConnectionLogger logger(nullptr, path);
        for (int i = 1; i <= 5; ++i) {
            failFstat = i % 2 == 0; // the size comes from the end of the file then
            logger.logLANConnection("eth0", 46000.0, 46000.5, std::uint64_t(i) << 20, 0);
            failFstat = false;
        }
        EXPECT_EQ(logger.heldRecords(), 0u);
    }
    EXPECT_EQ(sentMbIn(path), (std::vector<std::uint64_t>{1, 2, 3, 4, 5}));
    { ConnectionLogger restarted(nullptr, path); }
    EXPECT_EQ(testenv::readBytes(path).size(), 5u * 41); // nothing taken for a torn tail
}
