#include "common/dbglogger.h"
#include "damagedlog.h"
#include "goldenframes.h"
#include "log/conlogger.h"
#include "model/datamodel.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <cmath>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string logPath(const char* hint) { return testenv::freshFolder(hint) + "/cn.log"; }

} // namespace

TEST(ConnectionLogger, writes_the_golden_frames_with_masks_from_their_offsets)
{
    const std::string path = logPath("golden");
    {
        ConnectionLogger logger(nullptr, path);
        EXPECT_TRUE(testenv::readBytes(path).empty()); // created empty
        logger.logLANConnection("eth0", 46000.0, 46000.25, 1, 0x1122334455667788);
        logger.logRASConnection("ISP", "modem", "USR", "555", "joe", 46000.5, 46000.75, 7, 9);
    }
    Bytes expected = firstLanFrame;
    expected.insert(expected.end(), secondRasFrame.begin(), secondRasFrame.end());
    EXPECT_EQ(testenv::readBytes(path), expected);
}

TEST(ConnectionLogger, uses_mask_zero_for_a_record_at_offset_0x100)
{
    const std::string path = logPath("mask");
    {
        ConnectionLogger logger(nullptr, path);
        for (int i = 0; i < 5; ++i)
            logger.logLANConnection("abc", 46000.0, 46000.0, 0, 0); // 5 frames of 40 bytes
        logger.logLANConnection("seventeen chars!!", 46000.0, 46000.0, 0, 0); // 54 bytes: ends at 254
        logger.logLANConnection("", 46000.0, 46000.0, 0, 0); // record bytes at 0x100
    }
    const Bytes bytes = testenv::readBytes(path);
    ASSERT_EQ(bytes.size(), 254u + 37u);
    EXPECT_EQ(bytes[254], 35);
    EXPECT_EQ(bytes[256], 0x00 ^ 'P'); // type 0 under mask 0: the key alone
    EXPECT_EQ(bytes[257], 0x00 ^ 'a');
}

TEST(ConnectionLogger, fails_to_open_with_the_fatal_message_and_its_error_and_traces_it)
{
    const std::string folder = testenv::freshFolder("noopen");
    DbgLogger dbg(folder + "/debug.log");
    // A missing folder, and a folder where the file should be.
    const std::pair<std::string, const char*> cases[] = {{folder + "/missing/cn.log", " Error code: 2."},
                                                         {folder, " Error code: 21."}};
    for (const auto& [path, code] : cases) {
        try {
            ConnectionLogger logger(&dbg, path);
            ADD_FAILURE() << path << " opened";
        } catch (const LTException& e) {
            EXPECT_EQ(std::string(e.what()),
                      std::string("ConnectionLogger::ConnectionLogger - FATAL ERROR! Can't open the log file.") + code);
        }
    }
    EXPECT_EQ(testenv::readFile(folder + "/debug.log"),
              "ConnectionLogger::ConnectionLogger - FATAL ERROR! Can't open the log file.\n"
              "ConnectionLogger::ConnectionLogger - FATAL ERROR! Can't open the log file.\n");
}

TEST(ConnectionLogger, traces_each_record_with_low_32_bits_as_signed_numbers)
{
    const std::string folder = testenv::freshFolder("trace");
    DbgLogger dbg(folder + "/debug.log");
    ConnectionLogger logger(&dbg, folder + "/cn.log");
    const TDateTime start = EncodeDate(2026, 12, 8) + EncodeTime(9, 0, 0, 0);
    const TDateTime end = start + EncodeTime(0, 59, 59, 0);
    logger.logLANConnection("eth0", start, end, 0x1FFFFFFFFull, 5);
    logger.logRASConnection("ISP", "modem", "USR", "555", "joe", start, end, 1, 2);
    EXPECT_EQ(testenv::readFile(folder + "/debug.log"),
              "LOGGER:\neth0, 08:12:2026 09:00:00-08:12:2026 09:59:59, -1, 5\n"
              "LOGGER:\nISP, modem, USR, 555, joe, 08:12:2026 09:00:00-08:12:2026 09:59:59, 1, 2\n");
}

namespace {

// The names of every record a reader finds, past any damage.
std::vector<std::string> namesIn(const std::string& path)
{
    LogReader reader(path);
    std::vector<std::string> names;
    LogRecordFields r;
    readPastCorruption(
        [&] {
            while (reader.readRecord(r))
                names.emplace_back(r.entryName);
        },
        [](const LTDataCorruptedException&) {});
    return names;
}

// A log of 100 records of eth0 in a fresh folder; its path.
std::string logWithHistory(const std::string& folder)
{
    const std::string path = testenv::freshFolder(folder) + "/cn.log";
    ConnectionLogger logger(nullptr, path);
    for (int i = 0; i < 100; ++i)
        logger.logLANConnection("eth0", 46000.0, 46000.0, 0, 0);
    return path;
}

void setFileSizeLimit(rlim_t bytes)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

// Runs body in a child process in which no file grows past the log's size
// and ten bytes, as on a full disk (body may lift the limit); its status.
int withLogFull(const std::string& path, const std::function<int()>& body)
{
    const auto size = static_cast<rlim_t>(testenv::readBytes(path).size());
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        setFileSizeLimit(size + 10);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return child > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(ConnectionLogger, cuts_a_torn_tail_before_appending_and_says_so)
{
    for (const std::size_t tornSize : {1u, 2u, 4u, 61u}) {
        const Bytes torn(secondRasFrame.begin(), secondRasFrame.begin() + static_cast<std::ptrdiff_t>(tornSize));
        const std::string folder = testenv::freshFolder("torn");
        const std::string path = folder + "/cn.log";
        testenv::writeBytes(path, firstLanFrame);
        testenv::appendBytes(path, torn); // power lost in the middle of the next frame
        DbgLogger dbg(folder + "/debug.log");
        {
            ConnectionLogger logger(&dbg, path);
            EXPECT_EQ(testenv::readBytes(path), firstLanFrame);
            logger.logLANConnection("eth1", 46000.0, 46000.0, 0, 0);
        }
        EXPECT_EQ(namesIn(path), (std::vector<std::string>{"eth0", "eth1"}));
        const std::string trace = testenv::readFile(folder + "/debug.log");
        EXPECT_EQ(trace.substr(0, trace.find('\n') + 1),
                  "ConnectionLogger::ConnectionLogger() - cut off " + std::to_string(torn.size()) +
                      " torn bytes at the end of the log file (offset 41), kept in " + path + ".damaged\n");
        EXPECT_EQ(testenv::readBytes(path + ".damaged"), torn);
    }
}

TEST(ConnectionLogger, leaves_a_whole_log_untouched_on_open)
{
    const std::string path = logPath("whole");
    Bytes both = firstLanFrame;
    both.insert(both.end(), secondRasFrame.begin(), secondRasFrame.end());
    testenv::writeBytes(path, both);
    { ConnectionLogger logger(nullptr, path); }
    EXPECT_EQ(testenv::readBytes(path), both);
}

TEST(ConnectionLogger, undoes_a_failed_write_and_holds_the_records_until_a_write_succeeds)
{
    const std::string path = logWithHistory("full");
    const std::string folder = std::filesystem::path(path).parent_path();
    ASSERT_EQ(withLogFull(path,
                          [&] {
                              DbgLogger dbg(folder + "/debug.log");
                              ConnectionLogger logger(&dbg, path);
                              logger.logLANConnection("held", 46000.0, 46000.0, 0, 0);
                              logger.logLANConnection("held too", 46000.0, 46000.0, 0, 0);
                              setFileSizeLimit(RLIM_INFINITY);
                              logger.logLANConnection("eth2", 46000.0, 46000.0, 0, 0);
                              return 0;
                          }),
              0);
    std::vector<std::string> expected(100, "eth0");
    expected.insert(expected.end(), {"held", "held too", "eth2"});
    EXPECT_EQ(namesIn(path), expected);
    const std::string trace = testenv::readFile(folder + "/debug.log");
    EXPECT_NE(trace.find("ConnectionLogger::appendFrame() - write failed, record held. Error code: "),
              std::string::npos)
        << trace;
}

TEST(ConnectionLogger, keeps_what_it_cannot_write_at_its_end_in_a_pending_file_and_writes_it_first_next_time)
{
    const std::string path = logWithHistory("pending");
    const std::string keptMessage = "2 records could not be written to the log file " + path + "; they are kept in " +
                                    path + ".pending and go to the log first when the service starts again.";
    ASSERT_EQ(withLogFull(path,
                          [&] {
                              std::string told;
                              {
                                  ConnectionLogger logger(nullptr, path, [&](const std::string& m) { told = m; });
                                  logger.logRASConnection("held", "modem", "USR", "555", "joe", 46000.0, 46000.5, 1, 2);
                                  logger.logLANConnection("held too", 46000.0, 46000.0, 3, 4);
                              }
                              return told == keptMessage ? 0 : 3;
                          }),
              0);
    ASSERT_TRUE(std::filesystem::exists(path + ".pending"));
    std::vector<std::string> told;
    {
        ConnectionLogger logger(nullptr, path, [&told](const std::string& message) { told.push_back(message); });
        logger.takePending();
        logger.logLANConnection("new", 46001.0, 46001.0, 0, 0);
    }
    std::vector<std::string> expected(100, "eth0");
    expected.insert(expected.end(), {"held", "held too", "new"});
    EXPECT_EQ(namesIn(path), expected);
    // A start stopped before it removed the file: what the log has is left out.
    // The last two whole records again, as a pending file of their own.
    {
        ConnectionLogger again(nullptr, path + ".copy");
        again.logRASConnection("held", "modem", "USR", "555", "joe", 46000.0, 46000.5, 1, 2);
        again.logLANConnection("held too", 46000.0, 46000.0, 3, 4);
    }
    std::filesystem::rename(path + ".copy", path + ".pending");
    {
        ConnectionLogger logger(nullptr, path);
        logger.takePending();
    }
    EXPECT_EQ(namesIn(path), expected);
    EXPECT_FALSE(std::filesystem::exists(path + ".pending"));
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told[0], "2 records kept in " + path + ".pending when the service last stopped go to the log before new ones.");
}

TEST(ConnectionLogger, drops_a_record_its_frame_cannot_announce_and_keeps_the_log_readable)
{
    const std::string folder = testenv::freshFolder("huge");
    DbgLogger dbg(folder + "/debug.log");
    {
        ConnectionLogger logger(&dbg, folder + "/cn.log");
        logger.logLANConnection("eth0", 46000.0, 46000.0, 0, 0);
        logger.logLANConnection(std::string(65501, 'x'), 46000.0, 46000.0, 0, 0); // 65536 bytes
        logger.logLANConnection(std::string(65500, 'y'), 46000.0, 46000.0, 0, 0); // 65535: fits
        logger.logLANConnection("eth1", 46000.0, 46000.0, 0, 0);
    }
    const std::vector<std::string> names = namesIn(folder + "/cn.log");
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], "eth0");
    EXPECT_EQ(names[1].size(), 65500u);
    EXPECT_EQ(names[2], "eth1");
    EXPECT_NE(testenv::readFile(folder + "/debug.log")
                  .find("ConnectionLogger::appendFrame() - record dropped, its 65536 bytes do not fit in a frame\n"),
              std::string::npos);
}

TEST(ConnectionLogger, cuts_nothing_when_a_corrupted_length_puts_the_walk_out_of_step)
{
    const std::string path = logPath("outofstep");
    Bytes bytes = firstLanFrame;
    bytes.insert(bytes.end(), secondRasFrame.begin(), secondRasFrame.end());
    bytes[0] = 0x20; // the first frame now claims 32 bytes: the walk lands inside it
    testenv::writeBytes(path, bytes);
    { ConnectionLogger logger(nullptr, path); }
    EXPECT_EQ(testenv::readBytes(path), bytes);
}

TEST(ConnectionLogger, holds_records_through_a_full_disk_and_writes_them_in_order_when_room_returns)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    ASSERT_EQ(::unshare(CLONE_NEWNS), 0) << std::strerror(errno);
    ASSERT_EQ(::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
    const std::string folder = testenv::freshFolder("fulldisk");
    ASSERT_EQ(::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k"), 0) << std::strerror(errno);
    const std::string path = folder + "/cn.log";
    std::vector<std::string> told;
    {
        ConnectionLogger logger(nullptr, path, [&told](const std::string& message) { told.push_back(message); });
        {
            std::ofstream filler(folder + "/filler");
            filler << std::string(128 * 1024, 'x'); // more than there is room for
        }
        for (int i = 0; i < 5; ++i)
            logger.logLANConnection("eth" + std::to_string(i), 46000.0, 46000.0, 0, 0);
        EXPECT_EQ(logger.heldRecords(), 5u);
        EXPECT_EQ(testenv::readBytes(path).size(), 0u);
        ASSERT_EQ(told.size(), 1u); // the first failure only
        EXPECT_EQ(told[0], "Can't write to the log file " + path +
                               ": No space left on device. Error code: 28. Records are kept in memory (at most "
                               "100000) until writing succeeds again.");
        std::remove((folder + "/filler").c_str());
        logger.logLANConnection("eth5", 46000.0, 46000.0, 0, 0);
        EXPECT_EQ(logger.heldRecords(), 0u);
        ASSERT_EQ(told.size(), 2u);
        EXPECT_EQ(told[1], "The log file " + path + " is written again: 5 held records written.");
    }
    EXPECT_EQ(namesIn(path), (std::vector<std::string>{"eth0", "eth1", "eth2", "eth3", "eth4", "eth5"}));
    ::umount(folder.c_str());
}

TEST(ConnectionLogger, tells_when_the_torn_tail_cannot_be_kept_aside_and_appends_after_it)
{
    Bytes bytes = damagedlog::cleanLog();
    bytes.resize(bytes.size() - 10);
    const std::string path = logPath("nokeep");
    testenv::writeBytes(path, bytes);
    ASSERT_EQ(::mkdir((path + ".damaged").c_str(), 0755), 0);
    std::vector<std::string> told;
    {
        ConnectionLogger logger(nullptr, path, [&told](const std::string& m) { told.push_back(m); });
        logger.logLANConnection("eth0", 46100.0, 46100.5, 500u << 20, 0);
    }
    EXPECT_EQ(testenv::readBytes(path).size(), bytes.size() + 41); // appended after the torn bytes
    EXPECT_EQ(namesIn(path).size(), 200u); // the torn bytes are skipped
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], "Can't keep 31 torn bytes at the end of the log file (offset 8159) of " + path + " in " + path +
                           ".damaged: it is a folder. Error code: 21. They stay in the log; readers skip them.");
}

TEST(ConnectionLogger, keeps_the_record_logged_when_room_returns_to_a_full_hold)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    ASSERT_EQ(::unshare(CLONE_NEWNS), 0);
    ASSERT_EQ(::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
    const std::string folder = testenv::freshFolder("fullhold");
    ASSERT_EQ(::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=8m"), 0);
    const std::string path = folder + "/cn.log";
    std::vector<std::string> told;
    {
        ConnectionLogger logger(nullptr, path, [&told](const std::string& m) { told.push_back(m); });
        {
            std::ofstream filler(folder + "/filler");
            filler << std::string(9 * 1024 * 1024, 'x'); // more than there is room for
        }
        for (std::size_t i = 0; i < ConnectionLogger::MAX_HELD_RECORDS; ++i)
            logger.logLANConnection("held", 46000.0, 46000.0, i, 0);
        ASSERT_EQ(logger.heldRecords(), ConnectionLogger::MAX_HELD_RECORDS);
        std::remove((folder + "/filler").c_str());
        logger.logLANConnection("room again", 46000.0, 46000.0, 0, 0);
        EXPECT_EQ(logger.heldRecords(), 0u);
    }
    LogReader reader(path);
    LogRecordFields r;
    std::size_t count = 0;
    std::string last;
    while (reader.readRecord(r)) {
        ++count;
        last = r.entryName;
    }
    EXPECT_EQ(count, ConnectionLogger::MAX_HELD_RECORDS + 1);
    EXPECT_EQ(last, "room again");
    EXPECT_EQ(told.back(), "The log file " + path + " is written again: 100000 held records written.");
    ::umount(folder.c_str());
}

TEST(ConnectionLogger, creates_the_log_and_its_side_file_0644_under_a_umask_of_077)
{
    const mode_t previous = ::umask(077);
    Bytes torn = damagedlog::cleanLog();
    torn.resize(torn.size() - 5);
    const std::string fresh = testenv::freshFolder("umask") + "/cn.log";
    { ConnectionLogger logger(nullptr, fresh); }
    const std::string damaged = logPath("umask-torn");
    testenv::writeBytes(damaged, torn);
    { ConnectionLogger logger(nullptr, damaged); }
    ::umask(previous);
    struct stat st {};
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    ASSERT_EQ(::stat((damaged + ".damaged").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST(ConnectionLogger, follows_its_path_when_the_log_is_moved_or_deleted_and_says_so_each_time)
{
    const std::string path = logPath("replaced");
    std::vector<std::string> told;
    ConnectionLogger logger(nullptr, path, [&](const std::string& message) { told.push_back(message); });
    logger.logLANConnection("before", 46000.0, 46000.04, 1, 1);
    ASSERT_EQ(::rename(path.c_str(), (path + ".moved").c_str()), 0);
    logger.logLANConnection("after-move", 46000.04, 46000.08, 1, 1);
    logger.logLANConnection("after-move-2", 46000.08, 46000.12, 1, 1);
    ASSERT_EQ(::unlink(path.c_str()), 0);
    logger.logLANConnection("after-delete", 46000.12, 46000.16, 1, 1);

    EXPECT_EQ(namesIn(path + ".moved"), std::vector<std::string>{"before"});
    EXPECT_EQ(namesIn(path), std::vector<std::string>{"after-delete"});
    ASSERT_EQ(told.size(), 2u);
    for (const std::string& message : told)
        EXPECT_EQ(message.rfind("The log file " + path + " was deleted or moved while the service ran; records from ", 0),
                  0u)
            << message;
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}
