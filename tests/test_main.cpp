#include "testenv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace testenv {
void setRoot(const std::string& folder);
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Forked children (death tests, second processes) must not inherit
    // running threads' locks.
    GTEST_FLAG_SET(death_test_style, "threadsafe");

    // A death test's child runs main again: it keeps its parent's folders.
    if (const char* inherited = std::getenv("LINKTALLY_TEST_ROOT")) {
        testenv::setRoot(inherited);
        return RUN_ALL_TESTS();
    }
    char pattern[] = "/tmp/linktally-test-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (!made)
        return 2;
    const std::string root = made;
    testenv::setRoot(root);
    ::setenv("LINKTALLY_TEST_ROOT", made, 1);
    const std::pair<const char*, const char*> folders[] = {
        {"LINKTALLY_COMMON_APPDATA", "common"}, {"XDG_DATA_HOME", "data"},  {"XDG_CONFIG_HOME", "config"},
        {"XDG_RUNTIME_DIR", "runtime"},        {"LINKTALLY_IPC_DIR", "ipc"}, {"HOME", "home"},
    };
    for (const auto& [variable, name] : folders) {
        const std::string path = root + "/" + name;
        std::filesystem::create_directories(path);
        ::setenv(variable, path.c_str(), 1);
    }
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return result;
}
