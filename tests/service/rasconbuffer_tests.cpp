#include "common/dbglogger.h"
#include "fakes/scripted_ras.h"
#include "service/rasconbuffer.h"
#include "testenv.h"

#include <gtest/gtest.h>

TEST(RasConBuffer, with_no_connection_keeps_its_one_record_and_lists_none)
{
    ScriptedRas ras;
    RasConBuffer buffer(ras, nullptr);
    buffer.refresh();
    RasConBufferReading reading(buffer);
    EXPECT_EQ(buffer.count(), 0);
    EXPECT_EQ(buffer.item(0), nullptr);
    EXPECT_EQ(ras.enumSizes, (std::vector<DWORD>{692}));
}

TEST(RasConBuffer, grows_to_the_size_asked_for_and_enumerates_again)
{
    ScriptedRas ras;
    ras.connections = {{11, "isp-a"}, {12, "isp-b"}, {13, "isp-c"}};
    RasConBuffer buffer(ras, nullptr);
    buffer.refresh();
    EXPECT_EQ(ras.enumSizes, (std::vector<DWORD>{692, 2076}));
    RasConBufferReading reading(buffer);
    ASSERT_EQ(buffer.count(), 3);
    EXPECT_EQ(buffer.item(2)->hrasconn, 13u);
    EXPECT_STREQ(buffer.item(1)->szEntryName, "isp-b");
    EXPECT_EQ(buffer.item(3), nullptr);
}

TEST(RasConBuffer, empties_itself_after_six_failed_tries_and_says_so)
{
    const std::string path = testenv::freshFolder("ras") + "/debug.log";
    DbgLogger logger(path);
    ScriptedRas ras;
    ras.connections = {{11, "isp-a"}};
    RasConBuffer buffer(ras, &logger);
    buffer.refresh();
    ras.enumFailures = {5, 5, 5, 5, 5, 5};
    buffer.refresh();
    EXPECT_EQ(ras.enumCalls, 7);
    EXPECT_EQ(buffer.count(), 0);
    EXPECT_EQ(testenv::readFile(path), "RasConBuffer failed to enum connections!\n");
    ras.enumFailures = {5, 5, 5, 5, 5}; // the sixth try succeeds
    buffer.refresh();
    EXPECT_EQ(buffer.count(), 1);
}
