#include "errors/ltexception.h"
#include "model/datamodel.h"
#include "model/optionsmodel.h"
#include "platform/autostart.h"
#include "platform/service_control.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

struct Settings {
    std::string config = testenv::freshFolder("config");
    testenv::ScopedEnv env{"XDG_CONFIG_HOME", config.c_str()};
    std::string file = config + "/Tarnwick Software/Linktally/1.3.1.reg";
    DataList names;
    Settings()
    {
        names.idOf("eth0");
        names.idOf("isp");
    }
    void store(const std::string& values)
    {
        std::filesystem::create_directories(config + "/Tarnwick Software/Linktally");
        std::ofstream(file) << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n" << values;
    }
};

} // namespace

TEST(LTOptions, starts_from_the_defaults_on_an_empty_store_and_writes_the_connection)
{
    Settings s;
    LTOptions options(&s.names);
    EXPECT_EQ(options.getConnectionId(), 0);
    int x, y;
    options.getScreenPos(x, y);
    EXPECT_EQ(x, 10000);
    EXPECT_EQ(y, 10000);
    EXPECT_EQ(options.getChartBG(), 0x8000001Bu);
    EXPECT_EQ(options.getChartFG(), 0x00008000u);
    EXPECT_EQ(options.getTransparency(), 0);
    EXPECT_FALSE(options.getAutoStart());
    EXPECT_NE(testenv::readFile(s.file).find("\"Connection\"=\"eth0\"\n"), std::string::npos);
    options.setConnectionId(1);
    options.setTransparency(95);
    EXPECT_EQ(options.getAlpha(), 25);
    LTOptions again(&s.names);
    EXPECT_EQ(again.getConnectionName(), "isp");
    EXPECT_EQ(again.getTransparency(), 90);
}

TEST(LTOptions, falls_back_per_value_and_clamps_the_transparency)
{
    Settings s;
    s.store("\"Connection\"=\"gone\"\n\"ScreenX\"=dword:00000064\n\"ChartFG\"=\"not a number\"\n"
            "\"Trasparency\"=dword:00000096\n");
    LTOptions options(&s.names);
    int x, y;
    options.getScreenPos(x, y);
    EXPECT_EQ(x, 10000); // ScreenY missing: both default
    EXPECT_EQ(options.getChartFG(), 0x00008000u);
    EXPECT_EQ(options.getTransparency(), 90);
    EXPECT_EQ(options.getConnectionName(), "eth0"); // unknown name replaced at once
    s.store("\"Trasparency\"=dword:fffffffb\n");
    EXPECT_EQ(LTOptions(&s.names).getTransparency(), 0);
    s.store("\"Trasparency\"=\"50\"\n");
    EXPECT_EQ(LTOptions(&s.names).getTransparency(), 0);
}

TEST(LTOptions, turns_transparency_into_the_windows_alpha)
{
    Settings s;
    LTOptions options(&s.names);
    for (const auto& [t, alpha] : {std::pair{1, 252}, {20, 204}, {50, 127}, {90, 25}, {0, 255}}) {
        options.setTransparency(t);
        EXPECT_EQ(options.getAlpha(), alpha) << t;
    }
}

TEST(LTOptions, adds_one_log_on_entry_and_removes_it)
{
    Settings s;
    LTOptions options(&s.names);
    options.setAutoStart(true);
    options.setAutoStart(true);
    const std::string entry = testenv::readFile(s.config + "/autostart/Linktally 1.3.1.desktop");
    EXPECT_NE(entry.find("Name=Linktally 1.3.1\n"), std::string::npos);
    // This very program, not another one.
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_NE(entry.find("\nExec=" + platform::autostartExec(self) + "\n"), std::string::npos) << entry;
    EXPECT_TRUE(LTOptions(&s.names).getAutoStart());
    options.setAutoStart(false);
    options.setAutoStart(false);
    EXPECT_FALSE(platform::autostartExists("Linktally 1.3.1"));
}

TEST(LTOptions, starts_the_programs_own_path_at_log_on_also_after_an_upgrade_replaced_its_file)
{
    using platform::programPathFromExeLink;
    EXPECT_EQ(programPathFromExeLink("/opt/linktally/bin/ltmonitor"), "/opt/linktally/bin/ltmonitor");
    EXPECT_EQ(programPathFromExeLink("/opt/linktally/bin/ltmonitor (deleted)"), "/opt/linktally/bin/ltmonitor");
    EXPECT_EQ(programPathFromExeLink("/opt/old (deleted) builds/ltmonitor"), "/opt/old (deleted) builds/ltmonitor");
    EXPECT_EQ(programPathFromExeLink("/opt/lt/ltmonitor(deleted)"), "/opt/lt/ltmonitor(deleted)");
    for (const char* unusable : {"", " (deleted)", "ltmonitor", "ltmonitor (deleted)"}) {
        try {
            programPathFromExeLink(unusable);
            ADD_FAILURE() << "no exception for '" << unusable << "'";
        } catch (const LTException& e) {
            EXPECT_EQ(std::string(e.what()), std::string("Can't find the path of the running program ('") +
                                                 unusable + "')");
        }
    }
    EXPECT_EQ(platform::runningProgramPath(), std::filesystem::read_symlink("/proc/self/exe").string());
}

TEST(RegistryText, round_trips_texts_with_quotes_and_refuses_a_damaged_line)
{
    platform::RegistryValues values{{"A \"b\"", std::string("c:\\d \"e\"")}, {"N", std::int32_t{-5}}};
    platform::RegistryValues back;
    ASSERT_TRUE(platform::parseRegistryText(platform::formatRegistryText("Software\\X", values), back));
    EXPECT_EQ(back, values);
    platform::RegistryValues damaged;
    EXPECT_FALSE(platform::parseRegistryText("\"A\"=dword:12\n\"B\"=\"open\n\"C\"=dword:00000001\n", damaged));
    EXPECT_EQ(damaged, (platform::RegistryValues{{"C", std::int32_t{1}}})); // only the damaged lines are lost
}
