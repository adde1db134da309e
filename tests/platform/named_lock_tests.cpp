#include "common/dbglogger.h"
#include "platform/named_lock.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <fstream>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <grp.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using platform::NamedLock;

namespace {

platform::SecurityDescriptor everyone{0644};
platform::SecurityAttributes everyAccount{&everyone, false};

volatile std::sig_atomic_t signalsCaught = 0;
void countSignal(int) { signalsCaught = signalsCaught + 1; }

} // namespace

TEST(NamedObjects, map_global_names_to_the_ipc_folder_and_local_ones_to_the_session)
{
    testenv::ScopedEnv ipc("LINKTALLY_IPC_DIR", "/run/ipc");
    testenv::ScopedEnv session("XDG_RUNTIME_DIR", "/run/user/7");
    EXPECT_EQ(platform::namedObjectPath("Global\\LINKTALLY_1.3.1_STATISTICS"), "/run/ipc/LINKTALLY_1.3.1_STATISTICS");
    EXPECT_EQ(platform::namedObjectPath("Local\\Linktally1.3.1"), "/run/user/7/Linktally1.3.1");
    testenv::ScopedEnv noSession("XDG_RUNTIME_DIR", nullptr);
    // Without a session folder: the IPC folder where the user may write it
    // (a personal run's), else the memory file system.
    EXPECT_EQ(platform::namedObjectPath("Local\\X"), "/dev/shm/X." + std::to_string(::getuid()));
    {
        const std::string own = testenv::freshFolder("ipc");
        testenv::ScopedEnv ownIpc("LINKTALLY_IPC_DIR", own.c_str());
        EXPECT_EQ(platform::namedObjectPath("Local\\X"), own + "/X." + std::to_string(::getuid()));
    }
    testenv::ScopedEnv noIpc("LINKTALLY_IPC_DIR", nullptr);
    EXPECT_EQ(platform::namedObjectPath("Global\\X"), "/run/linktally/X");
}

TEST(NamedLock, creates_its_lock_file_readable_by_every_account_despite_the_umask)
{
    const std::string ipc = testenv::freshFolder("ipc");
    testenv::ScopedEnv env("LINKTALLY_IPC_DIR", ipc.c_str());
    const mode_t old = ::umask(077);
    NamedLock lock("Global\\TEST_MUTEX", &everyAccount);
    ::umask(old);
    struct stat st {};
    ASSERT_EQ(::stat((ipc + "/TEST_MUTEX").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(NamedLock, fails_with_cant_create_mutex_and_the_error_code)
{
    const std::string file = testenv::freshFolder("ipc") + "/a-file";
    std::ofstream(file) << "x";
    testenv::ScopedEnv env("LINKTALLY_IPC_DIR", file.c_str());
    try {
        NamedLock lock("Global\\TEST_MUTEX", &everyAccount);
        FAIL();
    } catch (const LTException& e) {
        EXPECT_STREQ(e.what(), "Can't create mutex Error code: 20.");
    }
}

TEST(NamedLock, without_its_folder_excludes_nothing_until_the_service_makes_it)
{
    const std::string folder = testenv::freshFolder("ipc") + "/not-yet";
    testenv::ScopedEnv env("LINKTALLY_IPC_DIR", folder.c_str());
    NamedLock reader("Global\\TEST_MUTEX", &everyAccount); // a monitor before any service
    EXPECT_TRUE(reader.tryWait());
    reader.release();
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    NamedLock service("Global\\TEST_MUTEX", &everyAccount);
    ASSERT_TRUE(service.tryWait());
    EXPECT_FALSE(reader.tryWait()); // now the same lock file
    service.release();
}

TEST(NamedLock, excludes_a_second_handle_of_the_same_process)
{
    const std::string ipc = testenv::freshFolder("ipc");
    testenv::ScopedEnv env("LINKTALLY_IPC_DIR", ipc.c_str());
    NamedLock first("Global\\TEST_MUTEX", &everyAccount);
    NamedLock second("Global\\TEST_MUTEX", &everyAccount);
    {
        platform::NamedLockGuard held(first);
        EXPECT_FALSE(second.tryWait());
    }
    EXPECT_TRUE(second.tryWait());
    second.release();
}

TEST(NamedLock, of_a_process_that_died_is_taken_over)
{
    const std::string ipc = testenv::freshFolder("ipc");
    testenv::ScopedEnv env("LINKTALLY_IPC_DIR", ipc.c_str());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        NamedLock lock("Global\\TEST_MUTEX", &everyAccount);
        lock.wait();
        (void)!::write(ready[1], "x", 1);
        ::pause(); // killed while holding the lock
        ::_exit(0);
    }
    char byte;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    NamedLock lock("Global\\TEST_MUTEX", &everyAccount);
    EXPECT_FALSE(lock.tryWait());
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    lock.wait(); // returns: the kernel released the dead owner's lock
    lock.release();
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(NamedLock, goes_on_waiting_when_a_signal_interrupts_the_wait)
{
    const std::string ipc = testenv::freshFolder("ipc");
    testenv::ScopedEnv env("LINKTALLY_IPC_DIR", ipc.c_str());
    // Without SA_RESTART the kernel ends a blocked flock with EINTR.
    struct sigaction noRestart {}, previous {};
    noRestart.sa_handler = countSignal;
    sigemptyset(&noRestart.sa_mask);
    noRestart.sa_flags = 0;
    ASSERT_EQ(::sigaction(SIGUSR1, &noRestart, &previous), 0);
    signalsCaught = 0;

    NamedLock holder("Global\\TEST_MUTEX", &everyAccount);
    NamedLock waiter("Global\\TEST_MUTEX", &everyAccount);
    holder.wait();
    std::atomic<bool> taken{false};
    std::string failure;
    std::thread thread([&] {
        try {
            waiter.wait();
            taken = true;
            waiter.release();
        } catch (const LTException& e) {
            failure = e.what();
        }
    });
    for (int i = 0; i < 5; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ::pthread_kill(thread.native_handle(), SIGUSR1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(taken); // still waiting, not given up
    holder.release();
    thread.join();
    ::sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_EQ(signalsCaught, 5);
    EXPECT_TRUE(taken);
    EXPECT_EQ(failure, "");
}

namespace {

// A folder every account can enter (the test's own root is private), removed
// at the end of the scope.
struct SharedFolder {
    std::string path;
    SharedFolder()
    {
        char pattern[] = "/tmp/linktally-shared-XXXXXX";
        path = ::mkdtemp(pattern) ? pattern : "";
        ::chmod(path.c_str(), 0755);
    }
    ~SharedFolder() { std::filesystem::remove_all(path); }
};

enum ChildResult {
    childTookTheLock = 0,
    childCouldNotOpen,
    childFoundItTaken,
    childCouldWrite,
    childCouldNotDropAccess,
};

// Becomes an account that may only read the lock file: nobody when we are
// root, else ourselves with the file made read-only.
bool dropWriteAccess(const std::string& path)
{
    if (::getuid() != 0)
        return ::chmod(path.c_str(), 0444) == 0;
    return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

} // namespace

TEST(NamedLock, is_taken_and_excludes_through_a_lock_file_another_account_created)
{
    const SharedFolder shared;
    ASSERT_FALSE(shared.path.empty());
    testenv::ScopedEnv env("LINKTALLY_IPC_DIR", shared.path.c_str());
    NamedLock creator("Global\\TEST_MUTEX", &everyAccount); // 0644, ours
    const std::string path = shared.path + "/TEST_MUTEX";
    int taken[2], done[2];
    ASSERT_EQ(::pipe(taken), 0);
    ASSERT_EQ(::pipe(done), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!dropWriteAccess(path))
            ::_exit(childCouldNotDropAccess);
        if (::access(path.c_str(), W_OK) == 0)
            ::_exit(childCouldWrite);
        try {
            NamedLock reader("Global\\TEST_MUTEX", &everyAccount);
            if (!reader.tryWait())
                ::_exit(childFoundItTaken);
            (void)!::write(taken[1], "x", 1);
            char byte;
            (void)!::read(done[0], &byte, 1);
            reader.release();
        } catch (const LTException&) {
            ::_exit(childCouldNotOpen);
        }
        ::_exit(childTookTheLock);
    }
    ::close(taken[1]);
    char byte = 0;
    const bool childHoldsIt = ::read(taken[0], &byte, 1) == 1;
    EXPECT_TRUE(childHoldsIt);
    if (childHoldsIt) {
        EXPECT_FALSE(creator.tryWait());
    }
    (void)!::write(done[1], "x", 1);
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), childTookTheLock) << "see ChildResult";
    EXPECT_TRUE(creator.tryWait());
    creator.release();
    for (const int fd : {taken[0], done[0], done[1]})
        ::close(fd);
}

TEST(NamedLock, of_its_account_alone_is_a_new_file_when_others_could_have_opened_and_held_the_old_one)
{
    const SharedFolder shared;
    ASSERT_FALSE(shared.path.empty());
    testenv::ScopedEnv env("LINKTALLY_IPC_DIR", shared.path.c_str());
    platform::SecurityDescriptor own{0600};
    platform::SecurityAttributes ownAccount{&own, false};
    NamedLock squatter("Global\\TEST_MUTEX", &everyAccount); // as an older service's lock file, 0644
    squatter.wait();
    NamedLock service("Global\\TEST_MUTEX", &ownAccount);
    EXPECT_TRUE(service.tryWait()); // not held up by whoever kept the old file
    service.release();
    struct stat st {};
    ASSERT_EQ(::stat((shared.path + "/TEST_MUTEX").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    squatter.release();
    if (::getuid() != 0)
        GTEST_SKIP() << "another account needs root";
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
        try {
            NamedLock other("Global\\TEST_MUTEX", &everyAccount);
            ::_exit(childTookTheLock);
        } catch (const LTException&) {
            ::_exit(dropped ? childCouldNotOpen : childCouldNotDropAccess);
        }
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), childCouldNotOpen) << "see ChildResult";
}

TEST(NamedLock, held_on_a_file_since_replaced_is_taken_on_the_file_the_name_stands_for)
{
    const std::string ipc = testenv::freshFolder("ipc");
    testenv::ScopedEnv env("LINKTALLY_IPC_DIR", ipc.c_str());
    platform::SecurityDescriptor own{0600};
    platform::SecurityAttributes ownAccount{&own, false};
    NamedLock first("Global\\TEST_MUTEX", &ownAccount);
    ASSERT_EQ(::unlink((ipc + "/TEST_MUTEX").c_str()), 0);
    NamedLock second("Global\\TEST_MUTEX", &ownAccount); // a new file
    second.wait();
    EXPECT_FALSE(first.tryWait()); // not the old file's lock, which excludes nobody
    second.release();
    EXPECT_TRUE(first.tryWait());
    first.release();
}
