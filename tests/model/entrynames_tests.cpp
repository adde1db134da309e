#include "fakes/scripted_ras.h"
#include "log/conlogger.h"
#include "model/datamodel.h"
#include "testenv.h"

#include <gtest/gtest.h>

TEST(EntryNames, take_the_phone_book_of_the_provider_after_the_log_keeping_earlier_ids)
{
    const std::string log = testenv::freshFolder("names") + "/cn.log";
    const TDateTime start = EncodeDate(2026, 12, 8) + EncodeTime(9, 0, 0, 0);
    ConnectionLogger(nullptr, log).logRASConnection("isp-b", "modem", "USR", "555", "joe", start, start + 0.01, 1, 2);
    ScriptedRas ras;
    ras.entries["isp-b"] = {};
    ras.entries["isp-a"] = {};
    DataList names;
    Prices prices(&names);
    loadEntryNamesAndPrices(ras, names, prices, log, testenv::root() + "/no-prices", false);
    ASSERT_EQ(names.size(), 2);
    EXPECT_EQ(names.nameOf(0), "isp-b"); // from the log, first
    EXPECT_EQ(names.nameOf(1), "isp-a");
}
