#include "platform/files.h"
#include "testenv.h"

#include <gtest/gtest.h>

using platform::FileReader;

TEST(FileReader, stays_at_the_end_and_then_returns_what_was_appended)
{
    const std::string path = testenv::freshFolder("reader") + "/data";
    testenv::writeBytes(path, {1, 2, 3});
    FileReader reader(path, 2); // a tiny buffer crosses its refills
    unsigned char out[8] = {};
    EXPECT_EQ(reader.read(out, 8), 3u);
    EXPECT_EQ(reader.position(), 3);
    EXPECT_EQ(reader.read(out, 8), 0u);
    testenv::appendBytes(path, {4, 5});
    EXPECT_EQ(reader.read(out, 8), 2u);
    EXPECT_EQ(out[0], 4);
    EXPECT_EQ(out[1], 5);
}

TEST(FileReader, forgets_buffered_bytes_when_it_seeks)
{
    const std::string path = testenv::freshFolder("reader") + "/data";
    testenv::writeBytes(path, {1, 2, 3, 4});
    FileReader reader(path);
    unsigned char out[4] = {};
    ASSERT_EQ(reader.read(out, 1), 1u); // buffers all four bytes
    testenv::writeBytes(path, {9, 8, 7, 6}); // rewritten behind the reader's back
    reader.seek(1);
    ASSERT_EQ(reader.read(out, 3), 3u);
    EXPECT_EQ(out[0], 8);
    reader.seek(0);
    reader.skip(3);
    EXPECT_EQ(reader.read(out, 4), 1u);
    EXPECT_EQ(out[0], 6);
}

TEST(FileReader, on_a_missing_file_reads_nothing)
{
    FileReader reader(testenv::root() + "/missing");
    unsigned char out[1];
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(reader.read(out, 1), 0u);
    EXPECT_EQ(reader.size(), -1);
}

TEST(AppendFile, appends_at_the_end_and_truncates)
{
    const std::string path = testenv::freshFolder("append") + "/data";
    testenv::writeBytes(path, {1, 2});
    platform::AppendFile file(path);
    ASSERT_TRUE(file.isOpen());
    const unsigned char more[] = {3, 4, 5};
    EXPECT_TRUE(file.append(more, 3));
    EXPECT_EQ(file.size(), 5);
    EXPECT_TRUE(file.truncate(4));
    EXPECT_EQ(testenv::readBytes(path), (std::vector<unsigned char>{1, 2, 3, 4}));
    platform::AppendFile missing(testenv::root() + "/no/such/file");
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.openError(), ENOENT);
}

TEST(readWholeFile, reads_past_any_one_read_and_the_kernels_files_that_tell_no_size)
{
    const std::string path = testenv::freshFolder("whole") + "/data";
    std::vector<unsigned char> bytes(10000);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i * 7);
    testenv::writeBytes(path, bytes);
    EXPECT_EQ(platform::readWholeFile(path), std::string(bytes.begin(), bytes.end()));
    EXPECT_TRUE(platform::readWholeFile("/proc/self/status").value_or("").starts_with("Name:"));
    EXPECT_EQ(platform::readWholeFile(testenv::root() + "/missing"), std::nullopt);
}
