// The live table's folder and block against another account: a squatter's
// block, a symbolic link, a block others may write and a folder others may
// write are refused with a message naming them; a reader takes another
// account's block for no service. Changing owners needs root.
#include "errors/ltexception.h"
#include "platform/named_objects.h"
#include "platform/shared_memory.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t NOBODY = 65534;
const platform::SecurityDescriptor everyAccountReads{0644};
const platform::SecurityAttributes everyAccount{&everyAccountReads, false};

// The message create throws, or "" when it made the block.
std::string refusal(const std::string& name)
{
    try {
        platform::SharedMemory block;
        block.create(name, 64, &everyAccount);
        return "";
    } catch (const LTException& e) {
        return e.what();
    }
}

} // namespace

TEST(SharedMemory, takes_over_no_symbolic_link_no_block_of_another_account_and_none_that_others_may_write)
{
    const std::string ipc = testenv::freshFolder("ipc");
    testenv::ScopedEnv env("LINKTALLY_IPC_DIR", ipc.c_str());
    const std::string precious = testenv::freshFolder("target") + "/precious";
    std::ofstream(precious) << "precious";
    ASSERT_EQ(::symlink(precious.c_str(), (ipc + "/LINK").c_str()), 0);
    EXPECT_NE(refusal("Global\\LINK").find("/LINK' belongs to user "), std::string::npos);
    EXPECT_NE(refusal("Global\\LINK").find(", mode 0777, a symbolic link: it is not taken over"), std::string::npos);
    EXPECT_EQ(testenv::readFile(precious), "precious");

    std::ofstream(ipc + "/OPEN") << "x";
    ::chmod((ipc + "/OPEN").c_str(), 0666);
    EXPECT_NE(refusal("Global\\OPEN").find("/OPEN' belongs to user "), std::string::npos);
    EXPECT_NE(refusal("Global\\OPEN").find(", mode 0666: it is not taken over as the live table"), std::string::npos);
    EXPECT_EQ(refusal("Global\\NEW"), "");

    if (::geteuid() != 0)
        GTEST_SKIP() << "another account's block needs root to make";
    std::ofstream(ipc + "/SQUAT") << std::string(64, '\0');
    ASSERT_EQ(::chown((ipc + "/SQUAT").c_str(), NOBODY, NOBODY), 0);
    ::chmod((ipc + "/SQUAT").c_str(), 0644);
    EXPECT_EQ(refusal("Global\\SQUAT"),
              "'" + ipc + "/SQUAT' belongs to user nobody (uid 65534), mode 0644: it is not taken over as the live table");
}

TEST(SharedMemory, reader_takes_a_block_of_another_account_than_the_folder_s_for_none)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "another account's block needs root to make";
    const std::string ipc = testenv::freshFolder("ipc");
    testenv::ScopedEnv env("LINKTALLY_IPC_DIR", ipc.c_str());
    {
        platform::SharedMemory owner;
        owner.create("Global\\TABLE", 64, &everyAccount);
    }
    platform::SharedMemory reader;
    EXPECT_TRUE(reader.openReadOnly("Global\\TABLE", 64)); // root's, in root's folder
    reader.close();
    ASSERT_EQ(::chown((ipc + "/TABLE").c_str(), NOBODY, NOBODY), 0);
    EXPECT_FALSE(reader.openReadOnly("Global\\TABLE", 64));
    EXPECT_EQ(reader.foreignBlock(), "'" + ipc +
                                         "/TABLE' belongs to user nobody (uid 65534), mode 0644, not the service's "
                                         "account: not read");
    ASSERT_EQ(::chown(ipc.c_str(), NOBODY, NOBODY), 0); // the folder's owner is the service's account
    EXPECT_TRUE(reader.openReadOnly("Global\\TABLE", 64));
}

TEST(IpcFolder, is_refused_to_the_service_and_the_monitor_where_other_accounts_may_write_or_own_it)
{
    const std::string ipc = testenv::freshFolder("ipc");
    testenv::ScopedEnv env("LINKTALLY_IPC_DIR", ipc.c_str());
    ::chmod(ipc.c_str(), 0755);
    EXPECT_NO_THROW(platform::prepareServiceIpcFolder());
    ::chmod(ipc.c_str(), 01777); // as /dev/shm
    try {
        platform::prepareServiceIpcFolder();
        ADD_FAILURE() << "a folder every account writes was taken";
    } catch (const LTException& e) {
        EXPECT_NE(std::string(e.what()).find(", mode 1777: other accounts may write there"), std::string::npos)
            << e.what();
    }
    if (::geteuid() != 0)
        GTEST_SKIP() << "another account's folder needs root to make";
    ::chmod(ipc.c_str(), 0755);
    ASSERT_EQ(::chown(ipc.c_str(), NOBODY, NOBODY), 0);
    EXPECT_THROW(platform::prepareServiceIpcFolder(), LTException);
    // Nor does a monitor use another account's folder as its own.
    try {
        platform::makeMissingIpcFolder();
        ADD_FAILURE() << "another account's folder was used";
    } catch (const LTException& e) {
        EXPECT_NE(std::string(e.what()).find("is a folder of user 65534, not yours (mode 0755): not used"),
                  std::string::npos)
            << e.what();
    }
}
