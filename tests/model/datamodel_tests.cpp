#include "common/common.h"
#include "model/datamodel.h"

#include <gtest/gtest.h>

namespace {

const TDateTime D = 46364.0; // 2026-12-08

using Model = History;

} // namespace

TEST(DataList, gives_dense_ids_in_order_of_first_appearance)
{
    DataList list;
    EXPECT_EQ(list.idOf("A"), 0);
    EXPECT_EQ(list.idOf("B"), 1);
    EXPECT_EQ(list.idOf("A"), 0);
    EXPECT_EQ(list.idOf("C"), 2);
    EXPECT_EQ(list.size(), 3);
    EXPECT_EQ(list.idOf("a"), 3); // letter case makes another entry
    EXPECT_EQ(list.idOf(""), 4);
    EXPECT_EQ(list.nameOf(2), "C");
    EXPECT_EQ(list.nameOf(4), "");
}

TEST(DataList, answers_unknown_ids_and_texts_without_adding)
{
    DataList list;
    list.idOf("eth0");
    EXPECT_EQ(list.nameOf(1), "");
    EXPECT_EQ(list.nameOf(-1), "");
    EXPECT_EQ(list.findId("wlan0"), -1);
    EXPECT_EQ(list.findId("eth0"), 0);
    EXPECT_EQ(list.size(), 1);
}

TEST(DataList, keeps_texts_with_embedded_zero_bytes_apart)
{
    DataList list;
    EXPECT_EQ(list.idOf(std::string_view("a\0b", 3)), 0);
    EXPECT_EQ(list.idOf("a"), 1);
    EXPECT_EQ(list.nameOf(0).size(), 3u);
}

TEST(LogRecords, interns_names_and_gives_ids_in_file_order)
{
    Model m;
    m.entryNames.idOf("ISP");
    m.records.add(RAS_CONNECTION, "ISP", "modem", "USR", "555-1", "joe", D + 0.5, D + 0.54, 10, 20);
    m.records.add(LAN_CONNECTION, "eth0", "", "", "", "", D + 0.25, D + 0.29, 1, 2);
    m.records.add(RAS_CONNECTION, "ISP", "modem", "USR", "555-2", "joe", D + 0.75, D + 0.79, 3, 4);
    ASSERT_EQ(m.records.size(), 3);
    EXPECT_EQ(m.entryNames.size(), 2); // "eth0" joined the entry names
    const LogRecord& third = m.records.getRecord(2);
    EXPECT_EQ(third.getId(), 2);
    EXPECT_EQ(third.getEntryId(), 0);
    EXPECT_EQ(m.records.getConnectionName(&third), "ISP");
    EXPECT_EQ(m.records.getPhone(&third), "555-2");
    EXPECT_EQ(m.records.getPhone(&m.records.getRecord(0)), "555-1");
    EXPECT_EQ(third.getDeviceTypeId(), m.records.getRecord(0).getDeviceTypeId());
    EXPECT_EQ(third.getSent(), 3u);
    EXPECT_EQ(third.getReceived(), 4u);
    EXPECT_EQ(third.getType(), RAS_CONNECTION);
    EXPECT_THROW(m.records.getRecord(3), std::out_of_range);
    EXPECT_THROW(m.records.getRecord(-1), std::out_of_range);
}

TEST(LogRecords, sorts_the_start_view_incrementally_and_keeps_record_addresses)
{
    Model m;
    EXPECT_TRUE(m.records.byStart().empty());
    m.records.add(LAN_CONNECTION, "a", "", "", "", "", D + 0.3, D + 0.3, 0, 0);
    m.records.add(LAN_CONNECTION, "b", "", "", "", "", D + 0.1, D + 0.1, 0, 0);
    m.records.sortByStart();
    const LogRecord* first = &m.records.getRecord(0);
    for (int i = 0; i < 5000; ++i) // records appended later may start earlier
        m.records.add(LAN_CONNECTION, "c", "", "", "", "", D + 0.2 + (i % 7) * 0.01, D, 0, 0);
    m.records.add(LAN_CONNECTION, "d", "", "", "", "", D + 0.05, D, 0, 0);
    EXPECT_EQ(m.records.byStart().size(), 2u); // untouched until sorted again
    m.records.sortByStart();
    EXPECT_EQ(first, &m.records.getRecord(0));
    const listOfRecords& view = m.records.byStart();
    ASSERT_EQ(view.size(), 5003u);
    EXPECT_EQ(m.records.getConnectionName(view.front()), "d");
    EXPECT_EQ(m.records.getConnectionName(view.back()), "a");
    EXPECT_TRUE(std::is_sorted(view.begin(), view.end(),
                               [](auto* x, auto* y) { return x->getStart() < y->getStart(); }));
}

TEST(LogRecordsDeathTest, requires_prices_and_entries)
{
    DataList entries;
    Prices prices(&entries);
    EXPECT_DEATH(LogRecords(nullptr, &entries), "Assertion failed: prices, file src/frontend/datamodel");
    EXPECT_DEATH(LogRecords(&prices, nullptr), "Assertion failed: entries, file src/frontend/datamodel");
    LogRecords records(&prices, &entries);
    EXPECT_DEATH(records.getConnectionName(nullptr), "Assertion failed: rec");
}
