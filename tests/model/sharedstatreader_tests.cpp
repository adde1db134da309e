#include "common/common.h"
#include "common/dbglogger.h"
#include "common/sharedstatdata.h"
#include "model/sharedstatreader.h"
#include "platform/shared_memory.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <memory>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A service's side of the table, made by hand.
struct Block {
    platform::SharedMemory memory;
    SharedStatData* data;
    Block()
    {
        memory.create(SHAREDSTAT_NAME, sizeof(SharedStatData), nullptr);
        data = static_cast<SharedStatData*>(memory.data());
    }
    void publish(std::int32_t logVersion, const char* name, std::uint64_t sent)
    {
        data->active = 1;
        data->logVersion = logVersion;
        data->size = 1;
        std::strcpy(data->table[0].name, name);
        data->table[0].quantumSent = sent;
    }
};

struct Isolated {
    std::string folder = testenv::freshFolder("ipc");
    testenv::ScopedEnv ipc{"LINKTALLY_IPC_DIR", folder.c_str()};
};

// A service in a process of its own that publishes name, then waits to be
// killed; inPass: killed in the middle of a pass. -1 when it did not start.
pid_t serviceProcess(const char* name, bool inPass = false)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t service = ::fork();
    if (service == 0) {
        Block block;
        block.publish(3, name, 9);
        if (inPass)
            new SharedStatUpdate(*block.data); // never ends
        (void)!::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    const bool started = service > 0 && ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    ::close(ready[1]);
    return started ? service : -1;
}

void kill(pid_t service)
{
    ::kill(service, SIGKILL);
    ::waitpid(service, nullptr, 0);
}

} // namespace

TEST(SharedStatisticsReader, shows_nothing_without_a_service_and_follows_one_that_starts_and_stops)
{
    Isolated isolated;
    SharedStatisticsReader reader;
    reader.refresh();
    EXPECT_FALSE(reader.isMappingOk());
    EXPECT_EQ(reader.size(), 0u);
    {
        Block block; // created, not active yet: the reader lets go again
        reader.refresh();
        EXPECT_FALSE(reader.isMappingOk());
        block.publish(0, "eth0", 5);
        reader.changed = false;
        reader.refresh();
        ASSERT_EQ(reader.size(), 1u);
        EXPECT_STREQ(reader.getName(0), "eth0");
        EXPECT_EQ(reader.getQuantumSent(0), 5u);
        EXPECT_TRUE(reader.changed); // first copy after attaching
        reader.changed = false;
        block.publish(0, "eth0", 6);
        reader.refresh();
        EXPECT_FALSE(reader.changed);
        block.publish(1, "eth0", 0);
        reader.refresh();
        EXPECT_TRUE(reader.changed); // log records were written
        block.data->active = 0; // the service stopped
        reader.refresh();
        EXPECT_EQ(reader.size(), 0u);
        EXPECT_FALSE(reader.isMappingOk());
    }
}

TEST(SharedStatisticsReader, treats_the_block_of_a_killed_service_as_inactive_and_lets_a_new_one_start)
{
    Isolated isolated;
    const pid_t service = serviceProcess("eth0");
    ASSERT_GT(service, 0);
    SharedStatisticsReader reader;
    reader.refresh();
    EXPECT_EQ(reader.size(), 1u);
    EXPECT_THROW(Block(), LTException); // "FileMapping already exists!" while it lives
    kill(service);
    reader.refresh();
    EXPECT_EQ(reader.size(), 0u); // still marked active, but nobody owns it
    Block restarted; // a new, zeroed block in place of the ownerless one
    EXPECT_EQ(restarted.data->active, 0);
    EXPECT_EQ(restarted.data->size, 0u);
}

TEST(SharedStatisticsReader, copies_only_completed_passes_and_is_not_held_up_by_a_service_killed_in_one)
{
    Isolated isolated;
    {
        Block block;
        block.publish(1, "eth0", 5);
        std::optional<SharedStatUpdate> pass(*block.data);
        block.publish(2, "half", 6);
        int waits = 0;
        SharedStatisticsReader reader([&](int) {
            ++waits; // the pass ends while the reader waits
            block.publish(2, "eth0", 7);
            pass.reset();
        });
        reader.refresh();
        EXPECT_EQ(waits, 1);
        ASSERT_EQ(reader.size(), 1u);
        EXPECT_STREQ(reader.getName(0), "eth0");
        EXPECT_EQ(reader.getQuantumSent(0), 7u);
    }
    const pid_t service = serviceProcess("eth0", true);
    ASSERT_GT(service, 0);
    SharedStatisticsReader reader;
    kill(service);
    reader.refresh();
    EXPECT_EQ(reader.size(), 0u);
}

TEST(SharedMemory, a_reader_s_lock_on_a_killed_service_s_block_keeps_no_new_service_out)
{
    Isolated isolated;
    const pid_t service = serviceProcess("old");
    ASSERT_GT(service, 0);
    SharedStatisticsReader reader;
    reader.refresh();
    ASSERT_EQ(reader.size(), 1u);
    // Another account may open the block (0644) and lock it in every way a
    // read-only descriptor allows, waiting for the service to die.
    const std::string path = isolated.folder + "/LINKTALLY_1.3.1_STATISTICS";
    const int squatter = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(squatter, 0);
    struct flock readLock {};
    readLock.l_type = F_RDLCK;
    EXPECT_NE(::fcntl(squatter, F_OFD_SETLK, &readLock), 0); // not while the service lives
    kill(service);
    EXPECT_EQ(::fcntl(squatter, F_OFD_SETLK, &readLock), 0);
    EXPECT_EQ(::flock(squatter, LOCK_EX | LOCK_NB), 0);

    Block restarted;
    reader.refresh(); // the old block is no one's now: let go of
    EXPECT_EQ(reader.size(), 0u);
    restarted.publish(0, "new", 1);
    reader.refresh();
    ASSERT_EQ(reader.size(), 1u);
    EXPECT_STREQ(reader.getName(0), "new");
    ::close(squatter);
}
