#include "platform/service_control.h"
#include "testenv.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(ServiceStartAdvice, names_the_unit_the_checkout_s_run_script_or_the_service_beside_with_the_monitor_s_folders)
{
    const std::string units = testenv::freshFolder("units");
    testenv::ScopedEnv packaged("LINKTALLY_PACKAGED_UNIT_DIRS", units.c_str());
    testenv::ScopedEnv own("LINKTALLY_SYSTEMD_DIR", testenv::freshFolder("etc").c_str());
    testenv::ScopedEnv noIpc("LINKTALLY_IPC_DIR", nullptr);
    testenv::ScopedEnv noData("LINKTALLY_COMMON_APPDATA", nullptr);
    const std::string checkout = testenv::freshFolder("checkout");
    std::filesystem::create_directories(checkout + "/build/dev/bin");
    std::filesystem::create_directories(checkout + "/scripts");
    std::ofstream(checkout + "/scripts/run.sh") << "#!/bin/sh\n";
    ::chmod((checkout + "/scripts/run.sh").c_str(), 0755);
    const std::string monitor = checkout + "/build/dev/bin/ltmonitor";

    EXPECT_EQ(platform::serviceStartAdvice(monitor),
              "Exit this monitor and start both programs with: " + checkout + "/scripts/run.sh");
    std::ofstream(units + "/LinktallyService_v1_3_1.service") << "[Service]\n";
    EXPECT_EQ(platform::serviceStartAdvice("/usr/bin/ltmonitor"),
              "Start it with: sudo systemctl start LinktallyService_v1_3_1.service");

    // A monitor on folders of its own meets only a service started on them.
    testenv::ScopedEnv ipc("LINKTALLY_IPC_DIR", "/run/user/1000/linktally");
    testenv::ScopedEnv data("LINKTALLY_COMMON_APPDATA", "/home/u/my data");
    EXPECT_EQ(platform::serviceStartAdvice("/opt/lt/bin/ltmonitor"),
              "Start it with: LINKTALLY_COMMON_APPDATA='/home/u/my data' LINKTALLY_IPC_DIR=/run/user/1000/linktally "
              "/opt/lt/bin/ltsrvc");
}
