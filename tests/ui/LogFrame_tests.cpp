// The Connection Log tab: its pages, the page box, the toolbar and the rows.
#include "framemodel.h"
#include "ui/guicommon.h"
#include "ui/LogFrame.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QBrush>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStringList>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

const TDateTime day = EncodeDate(2026, 12, 8);

struct ConnectionLogTab : ::testing::Test {
    FrameModel m;
    TLogRecordsFrame frame;
    QTableView* list = frame.findChild<QTableView*>("lvLog");
    QAbstractItemModel* rows = list->model();
    QAbstractItemModelTester tester{rows, QAbstractItemModelTester::FailureReportingMode::Fatal};
    QLineEdit* pageBox = frame.findChild<QLineEdit*>("edPageNum");
    QStringList messages;
    MessageBox::Redirect redirect{[this](const QString& message) { messages << message; }};

    // count records of entry, one an hour from the day's midnight on.
    void addHourly(const char* entry, int count, std::uint64_t sent = 1000)
    {
        for (int i = 0; i < count; ++i)
            m.add(entry, day + i / 24.0, day + (i + 0.5) / 24.0, sent + i, 0);
    }

    QAction* action(const char* name) { return frame.findChild<QAction*>(name); }
    QString cell(int row, int column) { return rows->index(row, column).data().toString(); }

    // Keys reach the page box, and its shortcut, only in the active window.
    void focusPageBox()
    {
        frame.show();
        frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
        pageBox->setFocus();
        ASSERT_TRUE(pageBox->hasFocus());
    }

    void typePage(const char* text)
    {
        pageBox->selectAll();
        QTest::keyClick(pageBox, Qt::Key_Backspace);
        QTest::keyClicks(pageBox, text);
        QTest::keyClick(pageBox, Qt::Key_Return);
    }
};

} // namespace

TEST_F(ConnectionLogTab, opens_25_records_on_the_second_page_with_the_newest_record_alone)
{
    addHourly("eth0", 25);
    m.init(frame);
    EXPECT_EQ(frame.currentPage, 2);
    ASSERT_EQ(rows->rowCount(), 1);
    EXPECT_EQ(cell(0, 4), "1 024");
    EXPECT_EQ(pageBox->text(), "2 of 2");
    EXPECT_TRUE(action("actFirstPage")->isEnabled());
    EXPECT_TRUE(action("actPrevPage")->isEnabled());
    EXPECT_FALSE(action("actNextPage")->isEnabled());
    EXPECT_FALSE(action("actLastPage")->isEnabled());
}

TEST_F(ConnectionLogTab, shows_the_bare_page_number_only_while_the_page_box_has_the_focus)
{
    addHourly("eth0", 25);
    m.init(frame);
    focusPageBox();
    EXPECT_EQ(pageBox->text(), "2");
    list->setFocus();
    EXPECT_EQ(pageBox->text(), "2 of 2");
}

TEST_F(ConnectionLogTab, clamps_a_typed_page_number_to_the_pages_there_are)
{
    addHourly("eth0", 25);
    m.init(frame);
    focusPageBox();
    typePage("0");
    EXPECT_EQ(frame.currentPage, 1);
    EXPECT_EQ(rows->rowCount(), 24);
    EXPECT_EQ(pageBox->text(), "1");
    typePage("99");
    EXPECT_EQ(frame.currentPage, 2);
    EXPECT_EQ(pageBox->text(), "2");
    typePage("-1");
    EXPECT_EQ(frame.currentPage, 1);
    typePage(" +2 ");
    EXPECT_EQ(frame.currentPage, 2);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ConnectionLogTab, rejects_a_page_text_that_is_not_a_whole_number_and_changes_nothing)
{
    addHourly("eth0", 25);
    m.init(frame);
    focusPageBox();
    for (const char* text : {"abc", "1.5", "1 2", "0x1", "2147483648", ""}) {
        typePage(text);
        EXPECT_EQ(frame.currentPage, 2) << text;
        EXPECT_EQ(pageBox->text(), text);
    }
    EXPECT_EQ(messages, QStringList({"'abc' - is not a correct page number!", "'1.5' - is not a correct page number!",
                                     "'1 2' - is not a correct page number!", "'0x1' - is not a correct page number!",
                                     "'2147483648' - is not a correct page number!",
                                     "'' - is not a correct page number!"}));
    EXPECT_EQ(rows->rowCount(), 1);
}

TEST_F(ConnectionLogTab, keeps_the_typed_text_while_an_error_box_has_the_focus_and_words_it_on_leaving)
{
    addHourly("eth0", 25);
    m.init(frame);
    focusPageBox();
    typePage("abc");
    // What the box does to the window it opens over.
    QFocusEvent deactivated(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(pageBox, &deactivated);
    EXPECT_EQ(pageBox->text(), "abc");
    QFocusEvent reactivated(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(pageBox, &reactivated);
    EXPECT_EQ(pageBox->text(), "abc");
    list->setFocus(); // leaving it within the window
    EXPECT_EQ(pageBox->text(), "2 of 2");
}

TEST_F(ConnectionLogTab, ignores_enter_while_the_page_box_has_no_focus)
{
    addHourly("eth0", 25);
    m.init(frame);
    focusPageBox();
    list->setFocus();
    pageBox->setText("1");
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(frame.currentPage, 2);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ConnectionLogTab, pages_through_with_the_toolbar_buttons)
{
    addHourly("eth0", 50);
    m.init(frame);
    frame.show();
    QTest::mouseClick(frame.findChild<QToolButton*>("ToolButton4"), Qt::LeftButton);
    EXPECT_EQ(pageBox->text(), "1 of 3");
    EXPECT_EQ(cell(0, 4), "1 000");
    EXPECT_FALSE(action("actFirstPage")->isEnabled());
    EXPECT_FALSE(action("actPrevPage")->isEnabled());
    QTest::mouseClick(frame.findChild<QToolButton*>("ToolButton2"), Qt::LeftButton);
    EXPECT_EQ(pageBox->text(), "2 of 3");
    EXPECT_EQ(cell(0, 4), "1 024");
    EXPECT_TRUE(action("actNextPage")->isEnabled());
    QTest::mouseClick(frame.findChild<QToolButton*>("ToolButton5"), Qt::LeftButton);
    EXPECT_EQ(pageBox->text(), "3 of 3");
    EXPECT_EQ(rows->rowCount(), 2);
    QTest::mouseClick(frame.findChild<QToolButton*>("ToolButton1"), Qt::LeftButton);
    EXPECT_EQ(pageBox->text(), "2 of 3");
    EXPECT_EQ(rows->rowCount(), 24);
}

TEST_F(ConnectionLogTab, shows_one_empty_page_with_every_paging_action_disabled_without_a_matching_record)
{
    addHourly("ppp0", 3);
    m.init(frame);
    EXPECT_EQ(rows->rowCount(), 0);
    EXPECT_EQ(pageBox->text(), "1 of 1");
    for (const char* name : {"actFirstPage", "actPrevPage", "actNextPage", "actLastPage"})
        EXPECT_FALSE(action(name)->isEnabled()) << name;
}

TEST_F(ConnectionLogTab, words_a_records_cells_in_the_columns_of_the_log)
{
    m.add("eth0", day + EncodeTime(9, 5, 0, 0), day + EncodeTime(10, 0, 0, 0), 1234567, 999);
    m.add("eth0", day + EncodeTime(23, 59, 0, 0), day + 1 + EncodeTime(0, 1, 0, 0), 0, 1000, "555 1234");
    m.init(frame);
    const QStringList heads = {"Date", "From - To", "Connection Name", "Phone", "Sent Bytes", "Rcved Bytes", "Costs"};
    for (int column = 0; column < 7; ++column)
        EXPECT_EQ(rows->headerData(column, Qt::Horizontal).toString(), heads[column]);
    EXPECT_EQ(QStringList({cell(0, 0), cell(0, 1), cell(0, 2), cell(0, 3), cell(0, 4), cell(0, 5), cell(0, 6)}),
              QStringList({"08/12/26", "09.05 - 10.00", "eth0", "", "1 234 567", "999", "?"}));
    EXPECT_EQ(QStringList({cell(1, 0), cell(1, 1), cell(1, 3), cell(1, 4), cell(1, 5)}),
              QStringList({"08/12/26", "23.59 - 00.01", "555 1234", "0", "1 000"}));
    const int left = Qt::AlignLeft | Qt::AlignVCenter, right = Qt::AlignRight | Qt::AlignVCenter;
    EXPECT_EQ(rows->index(0, 3).data(Qt::TextAlignmentRole).toInt(), left);
    EXPECT_EQ(rows->index(0, 4).data(Qt::TextAlignmentRole).toInt(), right);
    EXPECT_EQ(rows->headerData(3, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), left);
    EXPECT_EQ(rows->headerData(6, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), right);
    EXPECT_FALSE(rows->index(0, 2).data(Qt::BackgroundRole).isValid());
    EXPECT_EQ(rows->index(1, 2).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(0xE4, 0xE3, 0xFF));
}

TEST_F(ConnectionLogTab, words_the_costs_anew_when_the_prices_change_and_keeps_the_page)
{
    addHourly("eth0", 25, FrameModel::Mb);
    m.init(frame);
    action("actFirstPage")->trigger();
    EXPECT_EQ(cell(0, 6), "?");
    QSignalSpy changed(rows, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(rows, &QAbstractItemModel::modelReset);
    m.history.prices.setPrice(m.history.entryNames.idOf("eth0"), day, 1.5, 2);
    frame.pricesChanged();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(pageBox->text(), "1 of 2");
    EXPECT_EQ(cell(0, 6), "1.50");
    EXPECT_EQ(cell(23, 6), "1.50");
}

TEST_F(ConnectionLogTab, lists_only_the_selected_connections_records_and_another_ones_after_the_filter_changes)
{
    for (int i = 0; i < 30; ++i)
        m.add(i % 3 == 0 ? "eth0" : "ppp0", day + i / 24.0, day + (i + 0.5) / 24.0, i, 0);
    m.init(frame);
    ASSERT_EQ(rows->rowCount(), 10);
    EXPECT_EQ(cell(0, 4), "0");
    EXPECT_EQ(cell(9, 4), "27");
    EXPECT_EQ(pageBox->text(), "1 of 1");

    m.filter.setConnectionId(m.history.entryNames.idOf("ppp0"));
    frame.filterChanged();
    EXPECT_EQ(pageBox->text(), "1 of 1");
    ASSERT_EQ(rows->rowCount(), 20);
    EXPECT_EQ(cell(0, 2), "ppp0");
    EXPECT_EQ(cell(0, 4), "1");
    EXPECT_EQ(cell(19, 4), "29");
}

TEST_F(ConnectionLogTab, rebuilds_the_pages_when_the_filter_changes_and_opens_on_the_last)
{
    addHourly("eth0", 3);
    addHourly("ppp0", 49);
    m.init(frame);
    m.filter.setConnectionId(m.history.entryNames.idOf("ppp0"));
    frame.filterChanged();
    EXPECT_EQ(frame.currentPage, 3);
    EXPECT_EQ(pageBox->text(), "3 of 3");
    EXPECT_EQ(rows->rowCount(), 1);
    EXPECT_TRUE(action("actPrevPage")->isEnabled());
}

TEST_F(ConnectionLogTab, shows_records_added_since_on_the_last_page_when_it_is_shown_again)
{
    addHourly("eth0", 25);
    m.init(frame);
    m.add("eth0", day + 2, day + 2.01, 7, 0);
    m.add("eth0", day + 2.1, day + 2.11, 8, 0);
    action("actFirstPage")->trigger();
    action("actLastPage")->trigger();
    ASSERT_EQ(rows->rowCount(), 3);
    EXPECT_EQ(cell(2, 4), "8");
    EXPECT_EQ(pageBox->text(), "2 of 2");
}

TEST_F(ConnectionLogTab, gives_the_connection_name_the_width_left_but_never_less_than_180)
{
    m.init(frame);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QHeaderView* header = list->horizontalHeader();
    // The designed widths, or more where this font needs it for a whole date.
    const std::vector<int> designed = {49, 76, 75, 105, 105, 50};
    const std::vector<int> columns = {0, 1, 3, 4, 5, 6};
    for (std::size_t i = 0; i < columns.size(); ++i)
        EXPECT_GE(header->sectionSize(columns[i]), designed[i]) << columns[i];
    const QFontMetrics metrics(list->font());
    EXPECT_GT(header->sectionSize(0), metrics.horizontalAdvance("09/12/26"));
    EXPECT_GT(header->sectionSize(1), metrics.horizontalAdvance("23.00 - 23.59"));
    EXPECT_EQ(header->length(), list->viewport()->width());
    EXPECT_GT(header->sectionSize(2), 180);

    const int opened = header->sectionSize(1);
    header->resizeSection(1, 10); // not below its least width
    EXPECT_EQ(header->sectionSize(1), opened);
    frame.resize(400, 300);
    EXPECT_EQ(header->sectionSize(2), 180);
    frame.resize(900, 300);
    EXPECT_EQ(header->length(), list->viewport()->width());
}
