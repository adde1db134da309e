#include "testenv.h"

#include <gtest/gtest.h>

#ifdef LT_QT_TEST_APP
#include "ui/guicommon.h"
#endif

#include <cstdlib>
#include <filesystem>
#include <string>

namespace testenv {
void setRoot(const std::string& folder);
}

namespace {

int runAllTests(int& argc, char** argv)
{
#ifdef LT_QT_TEST_APP
    // Windows are drawn off screen, with the program's own error handler.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    MonitorApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
#else
    (void)argc;
    (void)argv;
#endif
    return RUN_ALL_TESTS();
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Forked children (death tests, second processes) must not inherit
    // running threads' locks.
    GTEST_FLAG_SET(death_test_style, "threadsafe");

    // A death test's child runs main again: it keeps its parent's folders.
    if (const char* inherited = std::getenv("LINKTALLY_TEST_ROOT")) {
        testenv::setRoot(inherited);
        return runAllTests(argc, argv);
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
        // A runtime folder is the user's alone, as toolkits check.
        if (std::string(variable) == "XDG_RUNTIME_DIR")
            std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        ::setenv(variable, path.c_str(), 1);
    }
    const int result = runAllTests(argc, argv);
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return result;
}
