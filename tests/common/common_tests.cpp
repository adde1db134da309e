#include "common/common.h"
#include "common/dbglogger.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>

namespace fs = std::filesystem;
using testenv::ScopedEnv;

namespace {

std::string messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const LTException& e) {
        return e.what();
    }
    return "(no exception)";
}

} // namespace

TEST(ProductConstants, hold_the_product_identity_and_timing)
{
    EXPECT_STREQ(COMPANY_NAME, "Tarnwick Software");
    EXPECT_STREQ(PRODUCT_NAME, "Linktally");
    EXPECT_STREQ(PRODUCT_VERSION, "1.3.1");
    EXPECT_STREQ(CONNECTION_LOG_FILE_NAME, "cn.log");
    EXPECT_STREQ(APPLICATION_TITLE, "Linktally 1.3.1");
    EXPECT_EQ(COLLECTOR_PERIOD, 1000);
    EXPECT_EQ(quantumsPerDay, 24);
}

TEST(GetDataFolder, creates_the_three_product_folders_below_the_base_in_order)
{
    const std::string base = testenv::freshFolder("common");
    ScopedEnv env("LINKTALLY_COMMON_APPDATA", base.c_str());
    const std::string expected = base + "/Tarnwick Software/Linktally/1.3.1";
    ASSERT_FALSE(fs::exists(base + "/Tarnwick Software"));
    EXPECT_EQ(service::getDataFolder(), expected);
    EXPECT_TRUE(fs::is_directory(expected));
    // Present folders are left alone.
    std::ofstream(expected + "/keep") << "x";
    EXPECT_EQ(service::getDataFolder(), expected);
    EXPECT_TRUE(fs::exists(expected + "/keep"));
}

TEST(GetDataFolder, creates_folders_every_account_can_read_even_under_a_umask_of_077)
{
    struct Umask {
        mode_t previous = ::umask(077);
        ~Umask() { ::umask(previous); }
    } strict;
    auto modeOf = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    };
    const std::string common = testenv::freshFolder("common");
    ScopedEnv commonEnv("LINKTALLY_COMMON_APPDATA", common.c_str());
    ASSERT_EQ(service::getDataFolder(), common + "/Tarnwick Software/Linktally/1.3.1");
    EXPECT_EQ(modeOf(common + "/Tarnwick Software"), 0755u);
    EXPECT_EQ(modeOf(common + "/Tarnwick Software/Linktally"), 0755u);
    EXPECT_EQ(modeOf(common + "/Tarnwick Software/Linktally/1.3.1"), 0755u);

    // The user's own base folder is made private, as XDG asks; the product's below it are not.
    const std::string data = testenv::freshFolder("data") + "/share";
    ScopedEnv dataEnv("XDG_DATA_HOME", data.c_str());
    ASSERT_EQ(monitor::getDataFolder(), data + "/Tarnwick Software/Linktally/1.3.1");
    EXPECT_EQ(modeOf(data), 0700u);
    EXPECT_EQ(modeOf(data + "/Tarnwick Software/Linktally/1.3.1"), 0755u);
}

TEST(GetDataFolder, of_the_monitor_lives_in_the_users_data_folder)
{
    const std::string base = testenv::freshFolder("data");
    ScopedEnv env("XDG_DATA_HOME", base.c_str());
    EXPECT_EQ(monitor::getDataFolder(), base + "/Tarnwick Software/Linktally/1.3.1");

    ScopedEnv noXdg("XDG_DATA_HOME", nullptr);
    ScopedEnv home("HOME", base.c_str());
    EXPECT_EQ(monitor::getDataFolder(), base + "/.local/share/Tarnwick Software/Linktally/1.3.1");
}

TEST(GetDataFolder, fails_when_the_base_folder_cannot_be_looked_up)
{
    const std::string fatal = "FATAL ERROR! SHGetFolderPath failed.\n";
    {
        ScopedEnv relative("LINKTALLY_COMMON_APPDATA", "relative/path");
        EXPECT_EQ(messageOf([] { service::getDataFolder(); }), fatal);
        EXPECT_EQ(messageOf([] { monitor::getServiceDataFolder(); }), fatal);
    }
    {
        ScopedEnv empty("XDG_DATA_HOME", "");
        EXPECT_EQ(messageOf([] { monitor::getDataFolder(); }), fatal);
    }
    {
        ScopedEnv noXdg("XDG_DATA_HOME", nullptr);
        ScopedEnv noHome("HOME", nullptr);
        EXPECT_EQ(messageOf([] { monitor::getDataFolder(); }), fatal);
    }
}

TEST(GetServiceDataFolder, answers_without_creating_anything)
{
    const std::string base = testenv::freshFolder("common");
    ScopedEnv env("LINKTALLY_COMMON_APPDATA", base.c_str());
    EXPECT_EQ(monitor::getServiceDataFolder(), base + "/Tarnwick Software/Linktally/1.3.1");
    EXPECT_FALSE(fs::exists(base + "/Tarnwick Software"));
    ScopedEnv unset("LINKTALLY_COMMON_APPDATA", nullptr);
    EXPECT_EQ(monitor::getServiceDataFolder(), "/var/lib/Tarnwick Software/Linktally/1.3.1");
}

TEST(CreatePath, with_one_component_returns_it_unchanged)
{
    const std::string base = testenv::freshFolder("one");
    const char* items[] = {base.c_str()};
    EXPECT_EQ(createPath(items, 1), base);
}

TEST(CreatePath, names_the_path_so_far_when_a_file_is_in_the_way)
{
    const std::string base = testenv::freshFolder("blocked");
    std::ofstream(base + "/Tarnwick Software") << "not a folder";
    const char* items[] = {base.c_str(), "Tarnwick Software", "Linktally"};
    EXPECT_EQ(messageOf([&] { createPath(items, 3); }),
              "Can't create directory '" + base + "/Tarnwick Software'");
}

TEST(CreatePathDeathTest, asserts_its_preconditions)
{
    const char* items[] = {"/tmp", nullptr};
    EXPECT_DEATH(createPath(items, 0), "Assertion failed: sz > 0, file src/common/common, line");
    EXPECT_DEATH(createPath(nullptr, 1), "Assertion failed: pathItems, file src/common/common");
    EXPECT_DEATH(createPath(items, 2), "Assertion failed: pathItems\\[i\\], file src/common/common");
}

TEST(InitNullDaclSecurity, lets_every_account_open_and_only_the_creator_write)
{
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
    initNullDaclSecurity(descriptor, attributes);
    EXPECT_EQ(attributes.descriptor, &descriptor);
    EXPECT_FALSE(attributes.inheritHandle);
    EXPECT_EQ(descriptor.mode, 0644u);
}
