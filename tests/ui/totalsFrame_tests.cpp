// The totals table's texts from one period's totals.
#include "model/datamodel.h"
#include "ui/guicommon.h"
#include "ui/totalsFrame.h"

#include <QBrush>
#include <QGroupBox>
#include <QLabel>
#include <gtest/gtest.h>

TEST(TotalsTable, truncates_megabytes_to_one_decimal_and_sums_the_truncated_values)
{
    TtotalsTableFrame table;
    Total4Period t;
    t.sent = 1048575;
    t.received = 1048576;
    t.uploadCost = 0.125;
    t.downloadCost = 2;
    table.showTotals(t, "today");
    EXPECT_EQ(table.lbTrafficU->text(), "0.9 Mb");
    EXPECT_EQ(table.lbTrafficD->text(), "1.0 Mb");
    EXPECT_EQ(table.lbTrafficT->text(), "1.9 Mb");
    EXPECT_EQ(table.lbCostsU->text(), "0.12");
    EXPECT_EQ(table.lbCostsD->text(), "2.00");
    EXPECT_EQ(table.lbCostsT->text(), "2.12");
    EXPECT_EQ(table.GroupBox->title(), " Totals: today ");
}

TEST(TotalsTable, shows_unknown_costs_in_all_three_cost_labels_and_still_the_traffic)
{
    TtotalsTableFrame table;
    Total4Period t;
    t.sent = 5 * 1048576;
    t.uploadCost = 1;
    t.costsUnknown = true;
    table.showTotals(t, "December, 2026");
    EXPECT_EQ(table.lbTrafficU->text(), "5.0 Mb");
    EXPECT_EQ(table.lbCostsU->text(), "?");
    EXPECT_EQ(table.lbCostsD->text(), "?");
    EXPECT_EQ(table.lbCostsT->text(), "?");
}

TEST(TotalsTable, keeps_the_heads_and_values_at_their_distance_from_the_right_edge_when_wider)
{
    TtotalsTableFrame table;
    table.resize(299, 121); // as on the Day tab
    table.show();
    const QRect box = table.GroupBox->geometry();
    EXPECT_EQ(box.width() - table.lbCostsT->geometry().right() - 1, 269 - 255);
    EXPECT_EQ(box.width() - table.lbTrafficU->geometry().right() - 1, 269 - 198);
    EXPECT_EQ(table.Label2->x(), 12); // row heads stay on the left
}

TEST(TotalsTable, grows_long_values_to_the_left_keeping_every_digit_and_cuts_a_row_head_they_reach)
{
    TtotalsTableFrame table;
    table.resize(258, 117); // as narrow as on the Year tab
    table.show();
    const int costsRight = table.lbCostsT->geometry().right();
    Total4Period t;
    t.sent = 22678845ull * 1048576; // a busy year of a LAN link
    t.uploadCost = 1476110;
    table.showTotals(t, "Year 2026");
    EXPECT_EQ(table.lbTrafficT->text(), "22678845.0 Mb");
    EXPECT_EQ(table.lbCostsT->geometry().right(), costsRight);
    EXPECT_LT(table.lbTrafficT->geometry().right(), table.lbCostsT->x());
    for (QLabel* value : {table.lbTrafficU, table.lbTrafficT, table.lbCostsU, table.lbCostsT})
        EXPECT_GE(value->width(), value->sizeHint().width()) << value->text().toStdString();
    const int textLeft = table.lbTrafficT->geometry().right() -
                         table.lbTrafficT->fontMetrics().horizontalAdvance(table.lbTrafficT->text());
    EXPECT_LT(table.Label4->x() + table.Label4->fontMetrics().horizontalAdvance(table.Label4->text()), textLeft);
    EXPECT_TRUE(table.Label4->text().endsWith(QChar(0x2026)));
    EXPECT_EQ(table.Label4->toolTip(), "Both Directions");

    table.showTotals(Total4Period{}, "Year 2027"); // small again: the heads come back whole
    EXPECT_EQ(table.Label4->text(), "Both Directions");
    EXPECT_EQ(table.Label4->toolTip(), "");
}

TEST(ListRows, paint_odd_rows_light_blue_and_leave_even_rows_to_the_list)
{
    EXPECT_FALSE(highlightOddRow(0).isValid());
    EXPECT_EQ(highlightOddRow(1).value<QBrush>().color(), QColor(0xE4, 0xE3, 0xFF));
    EXPECT_FALSE(highlightOddRow(2).isValid());
    EXPECT_EQ(highlightOddRow(23).value<QBrush>().color(), QColor(0xE4, 0xE3, 0xFF));
}

TEST(DatePickers, take_the_models_days_and_give_them_back_at_midnight)
{
    EXPECT_EQ(qDateFromDate(EncodeDate(2028, 2, 29) + 0.75), QDate(2028, 2, 29));
    EXPECT_EQ(dateFromQDate(QDate(2026, 12, 31)), EncodeDate(2026, 12, 31));
}
