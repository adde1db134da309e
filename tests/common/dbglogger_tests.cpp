#include "common/dbglogger.h"
#include "common/ltassert.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <thread>

TEST(LTException, keeps_text_and_string_messages_as_given)
{
    EXPECT_STREQ(LTException("Can't open").what(), "Can't open");
    EXPECT_STREQ(LTException(std::string("a\nb")).what(), "a\nb");
    EXPECT_STREQ(LTException(static_cast<const char*>(nullptr)).what(), "");
}

TEST(LTException, appends_the_error_code_with_its_leading_blank)
{
    EXPECT_STREQ(LTException("Can't create mutex", 5).what(), "Can't create mutex Error code: 5.");
    EXPECT_STREQ(LTException(nullptr, 7).what(), " Error code: 7.");
    EXPECT_STREQ(LTException("x", -2147483647 - 1).what(), "x Error code: -2147483648.");
}

TEST(LTDataCorruptedException, is_caught_as_an_LTException)
{
    try {
        throw LTDataCorruptedException("Unexpected end of file!");
    } catch (const LTException& e) {
        EXPECT_STREQ(e.what(), "Unexpected end of file!");
        return;
    }
    FAIL();
}

TEST(DbgLogger, writes_messages_exactly_and_flushes_each_at_once)
{
    const std::string path = testenv::freshFolder("dbg") + "/debug.log";
    DbgLogger logger(path);
    logger.log("LOGGER:\nfirst\n");
    EXPECT_EQ(testenv::readFile(path), "LOGGER:\nfirst\n"); // visible before the logger closes
    logger.log(std::string("no line break"));
    logger.log(static_cast<const char*>(nullptr));
    EXPECT_EQ(testenv::readFile(path), "LOGGER:\nfirst\nno line break");
}

TEST(DbgLogger, keeps_each_message_whole_when_threads_log_at_once)
{
    const std::string path = testenv::freshFolder("dbg") + "/debug.log";
    {
        DbgLogger logger(path);
        const std::string a(5000, 'a'), b(5000, 'b');
        std::thread first([&] { for (int i = 0; i < 200; ++i) logger.log(a + "\n"); });
        std::thread second([&] { for (int i = 0; i < 200; ++i) logger.log(b + "\n"); });
        first.join();
        second.join();
    }
    const std::string text = testenv::readFile(path);
    ASSERT_EQ(text.size(), 400u * 5001u);
    for (std::size_t at = 0; at < text.size(); at += 5001)
        EXPECT_EQ(text.find_first_not_of(text[at], at), at + 5000) << "message at " << at << " is mixed";
}

TEST(DbgLogger, fails_with_the_error_code_when_the_file_cannot_be_opened)
{
    try {
        DbgLogger logger(testenv::root() + "/missing/debug.log");
        FAIL();
    } catch (const LTException& e) {
        EXPECT_STREQ(e.what(), ("Can't open the debug log '" + testenv::root() +
                                "/missing/debug.log' Error code: 2.").c_str());
    }
}

TEST(LTAssertDeathTest, reports_expression_unit_without_extension_and_line)
{
    const int line = __LINE__ + 1;
    auto failing = [] { LT_ASSERT(1 + 1 == 3); };
    EXPECT_DEATH(failing(), "Assertion failed: 1 \\+ 1 == 3, file tests/common/dbglogger_tests, line " +
                                std::to_string(line));
}

TEST(LTAssert, names_units_from_their_top_folder_even_for_absolute_paths)
{
    char unit[128];
    EXPECT_STREQ(ltSourceUnit("src/common/conlogger.cpp", unit, sizeof unit), "src/common/conlogger");
    EXPECT_STREQ(ltSourceUnit("/home/u/linktally/src/frontend/datamodel.h", unit, sizeof unit),
                 "src/frontend/datamodel");
    EXPECT_STREQ(ltSourceUnit("src/v1.2/noext", unit, sizeof unit), "src/v1.2/noext");
    EXPECT_STREQ(ltSourceUnit("/home/u/src/repo/src/common/conlogger.cpp", unit, sizeof unit),
                 "src/common/conlogger");
}

TEST(LTAssert, names_a_unit_that_moved_by_its_path_of_the_design)
{
    char unit[128];
    EXPECT_STREQ(ltSourceUnit("src/log/logrecord.cpp", unit, sizeof unit), "src/common/conlogger");
    EXPECT_STREQ(ltSourceUnit("/home/u/linktally/src/model/prices.cpp", unit, sizeof unit), "src/frontend/datamodel");
    EXPECT_STREQ(ltSourceUnit("src/model/contrace.h", unit, sizeof unit), "src/monitor/contrace");
}
