#include "platform/autostart.h"
#include "testenv.h"

#include <gtest/gtest.h>

namespace {

// The Exec line of the entry written for the program.
std::string writtenExec(const std::string& programPath)
{
    EXPECT_TRUE(platform::createAutostart("Meter", programPath));
    const std::string entry = testenv::readFile(testenv::root() + "/config/autostart/Meter.desktop");
    const std::size_t start = entry.find("\nExec=") + 1;
    return entry.substr(start, entry.find('\n', start) - start);
}

} // namespace

TEST(Autostart, starts_the_program_with_the_folder_variables_it_runs_with_quoted_for_the_desktop)
{
    testenv::ScopedEnv config("XDG_CONFIG_HOME", (testenv::root() + "/config").c_str());
    testenv::ScopedEnv noData("LINKTALLY_COMMON_APPDATA", nullptr);
    testenv::ScopedEnv noIpc("LINKTALLY_IPC_DIR", nullptr);
    EXPECT_EQ(writtenExec("/opt/lt/ltmonitor"), R"(Exec="/opt/lt/ltmonitor")");

    testenv::ScopedEnv data("LINKTALLY_COMMON_APPDATA", "/home/u/.local/share");
    EXPECT_EQ(writtenExec("/opt/my apps/lt"),
              R"(Exec=env "LINKTALLY_COMMON_APPDATA=/home/u/.local/share" "/opt/my apps/lt")");

    testenv::ScopedEnv awkwardData("LINKTALLY_COMMON_APPDATA", "/h/a \"b\" $c `d`");
    testenv::ScopedEnv awkwardIpc("LINKTALLY_IPC_DIR", "/r/50%\\x\ny");
    // Exec's escapes, then the value's own escapes of every backslash and the line break.
    EXPECT_EQ(writtenExec("/opt/lt%/a\\b"), R"(Exec=env "LINKTALLY_COMMON_APPDATA=/h/a \\"b\\" \\$c \\`d\\`" )"
                                             R"("LINKTALLY_IPC_DIR=/r/50%%\\\\x\ny" "/opt/lt%%/a\\\\b")");
}
