// The price editor's list over a real price table, with the record dialog
// answered by the test.
#include "model/datamodel.h"
#include "ui/guicommon.h"
#include "ui/PriceEditorFrm.h"
#include "ui/pricesListModel.h"
#include "ui/uslocale.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

// What the record dialog was given and what the test answers.
struct RecordAnswer {
    bool confirm = true;
    TDateTime date = 0;
    int entryId = 0;
    double uploadPrice = 0;
    double downloadPrice = 0;
};
struct RecordCall {
    bool isNew;
    TDateTime date;
    int entryId;
    double uploadPrice;
    double downloadPrice;
};

class PriceEditor : public ::testing::Test {
protected:
    UsLocale locale;
    DataList names;
    Prices prices{&names};
    std::unique_ptr<TPriceEditorForm> form = std::make_unique<TPriceEditorForm>();
    std::unique_ptr<QAbstractItemModelTester> tester;
    RecordAnswer answer;
    std::vector<RecordCall> calls;
    QStringList messages;
    MessageBox::Redirect redirect{[this](const QString& m) { messages << m; }};

    void SetUp() override
    {
        names.idOf("eth0");
        names.idOf("ppp0");
        prices.setPrice(0, EncodeDate(2004, 3, 1), 0.05, 0.02);
        prices.setPrice(0, EncodeDate(2004, 7, 1), 0.04, 0.04);
        prices.setPrice(1, EncodeDate(2004, 1, 15), 1234.5, 0);
        tester = std::make_unique<QAbstractItemModelTester>(form->lvPrices->model());
        answerWith(*form);
        form->prices = &prices;
        form->show();
    }
    void answerWith(TPriceEditorForm& editor)
    {
        editor.editRecord = [this](bool isNew, TDateTime& date, int& entryId, double& uploadPrice,
                                   double& downloadPrice, const DataList&, QWidget*) {
            calls.push_back({isNew, date, entryId, uploadPrice, downloadPrice});
            if (!answer.confirm)
                return false;
            date = answer.date;
            entryId = answer.entryId;
            uploadPrice = answer.uploadPrice;
            downloadPrice = answer.downloadPrice;
            return true;
        };
    }
    int rows() const { return form->lvPrices->model()->rowCount(); }
    QString row(int r) const
    {
        const QAbstractItemModel* model = form->lvPrices->model();
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->index(r, c).data().toString();
        return cells.join('|');
    }
    void select(int r)
    {
        QTableView* view = form->lvPrices;
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(r, 1)).center());
    }
    void click(const char* button) { QTest::mouseClick(form->findChild<QPushButton*>(button), Qt::LeftButton); }
};

} // namespace

TEST_F(PriceEditor, lists_every_item_by_connection_then_date_under_four_captioned_columns)
{
    ASSERT_EQ(rows(), 3);
    EXPECT_EQ(row(0), "3/1/2004|eth0|0.05|0.02");
    EXPECT_EQ(row(1), "7/1/2004|eth0|0.04|0.04");
    EXPECT_EQ(row(2), "1/15/2004|ppp0|1234.5|0");
    const QAbstractItemModel* model = form->lvPrices->model();
    QStringList captions;
    for (int c = 0; c < model->columnCount(); ++c)
        captions << model->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(captions, QStringList({"Date", "Connection", "Upload Costs", "Download Costs"}));
    const auto alignment = [model](int c) {
        return model->index(0, c).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask;
    };
    EXPECT_EQ(alignment(1), Qt::AlignLeft);
    EXPECT_EQ(alignment(2), Qt::AlignRight);
}

TEST_F(PriceEditor, is_laid_out_as_designed_with_the_connection_filling_the_list)
{
    EXPECT_EQ(form->windowTitle(), "Costs");
    EXPECT_EQ(form->size(), QSize(595, 262));
    EXPECT_EQ(form->lvPrices->geometry(), QRect(8, 8, 484, 245));
    EXPECT_EQ(form->btnCancel->geometry(), QRect(507, 228, 75, 25));
    EXPECT_EQ(form->btnEdit->text(), "&Edit");
    EXPECT_EQ(form->btnEdit->toolTip(), "Edit");
    const QHeaderView* header = form->lvPrices->horizontalHeader();
    // At least as designed, wider where the font needs it for a date or
    // the caption.
    EXPECT_GE(header->sectionSize(0), 65);
    EXPECT_GT(header->sectionSize(0), QFontMetrics(form->lvPrices->font()).horizontalAdvance("12/28/2000"));
    EXPECT_GE(header->sectionSize(2), 75);
    EXPECT_GE(header->sectionSize(3), 90);
    EXPECT_GE(header->sectionSize(3), header->sectionSizeHint(3));
    EXPECT_EQ(header->length(), header->width());
    EXPECT_GE(header->sectionSize(1), 180);
    EXPECT_EQ(form->pos(), QPoint(102, 269)); // centred on the 800 x 800 screen
}

TEST_F(PriceEditor, keeps_the_selected_row_coloured_when_the_list_loses_the_focus)
{
    const QPalette previous = QApplication::palette();
    QPalette greyWhenInactive = previous;
    greyWhenInactive.setColor(QPalette::Active, QPalette::Highlight, QColor(0x30, 0x8C, 0xC6));
    greyWhenInactive.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0xF0, 0xF0, 0xF0));
    QApplication::setPalette(greyWhenInactive);
    TPriceEditorForm editor;
    QAbstractItemModelTester tester(editor.lvPrices->model());
    QApplication::setPalette(previous);
    EXPECT_EQ(editor.lvPrices->palette().color(QPalette::Inactive, QPalette::Highlight), QColor(0x30, 0x8C, 0xC6));
}

TEST_F(PriceEditor, keeps_resized_columns_within_their_limits_and_the_connection_at_180_or_more)
{
    QHeaderView* header = form->lvPrices->horizontalHeader();
    header->resizeSection(3, 300); // at most 150, and the connection keeps 180
    EXPECT_LE(header->sectionSize(3), 150);
    EXPECT_GT(header->sectionSize(3), 120);
    header->resizeSection(2, 10);
    EXPECT_EQ(header->sectionSize(2), 75);
    header->resizeSection(0, 400);
    EXPECT_GE(header->sectionSize(1), 180);
    EXPECT_EQ(header->length(), header->width());
}

TEST_F(PriceEditor, adding_a_record_for_a_connection_and_day_that_has_one_replaces_its_prices)
{
    answer = {true, EncodeDate(2004, 7, 1) + 0.6, 0, 0.5, 0.25};
    click("btnAdd");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].isNew);
    EXPECT_EQ(rows(), 3);
    EXPECT_EQ(row(1), "7/1/2004|eth0|0.5|0.25");

    answer = {true, EncodeDate(2004, 5, 1), 0, 1, 2};
    click("btnAdd");
    EXPECT_EQ(rows(), 4);
    EXPECT_EQ(row(1), "5/1/2004|eth0|1|2");

    answer = {false, EncodeDate(2004, 6, 1), 0, 7, 7}; // cancelled
    click("btnAdd");
    EXPECT_EQ(rows(), 4);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PriceEditor, editing_a_record_with_another_date_moves_it_in_date_order_within_its_connection)
{
    select(0);
    EXPECT_TRUE(form->btnEdit->isEnabled());
    answer = {true, EncodeDate(2004, 8, 1), 0, 0.05, 0.03};
    click("btnEdit");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].isNew);
    EXPECT_EQ(calls[0].date, EncodeDate(2004, 3, 1));
    EXPECT_EQ(calls[0].downloadPrice, 0.02);
    ASSERT_EQ(rows(), 3);
    EXPECT_EQ(row(0), "7/1/2004|eth0|0.04|0.04");
    EXPECT_EQ(row(1), "8/1/2004|eth0|0.05|0.03");
}

TEST_F(PriceEditor, editing_a_record_onto_another_connection_s_day_replaces_the_record_there)
{
    select(1);
    answer = {true, EncodeDate(2004, 1, 15), 1, 0.3, 0.3};
    click("btnEdit");
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(row(0), "3/1/2004|eth0|0.05|0.02");
    EXPECT_EQ(row(1), "1/15/2004|ppp0|0.3|0.3");
}

TEST_F(PriceEditor, deletes_the_selected_item_at_once)
{
    select(1);
    click("btnDelete");
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(row(0), "3/1/2004|eth0|0.05|0.02");
    EXPECT_EQ(row(1), "1/15/2004|ppp0|1234.5|0");
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PriceEditor, keeps_the_added_or_edited_item_selected_and_after_delete_the_row_in_its_place)
{
    const auto selected = [this] {
        EXPECT_TRUE(form->btnEdit->isEnabled());
        EXPECT_TRUE(form->btnDelete->isEnabled());
        const QModelIndexList rows = form->lvPrices->selectionModel()->selectedRows();
        return rows.size() == 1 ? row(rows[0].row()) : QString();
    };
    answer = {true, EncodeDate(2004, 5, 1) + 0.6, 0, 1, 2};
    click("btnAdd");
    EXPECT_EQ(selected(), "5/1/2004|eth0|1|2");

    answer = {true, EncodeDate(2004, 2, 1), 1, 3, 4};
    click("btnEdit");
    EXPECT_EQ(selected(), "2/1/2004|ppp0|3|4");

    select(1);
    click("btnDelete");
    EXPECT_EQ(selected(), "1/15/2004|ppp0|1234.5|0");

    select(2); // the last row: the one before it takes its place
    click("btnDelete");
    EXPECT_EQ(selected(), "1/15/2004|ppp0|1234.5|0");
}

TEST_F(PriceEditor, edit_and_delete_are_disabled_and_do_nothing_without_a_selection)
{
    EXPECT_TRUE(form->btnAdd->isEnabled());
    EXPECT_FALSE(form->btnEdit->isEnabled());
    EXPECT_FALSE(form->btnDelete->isEnabled());
    form->actEdit->trigger();
    form->actDelete->trigger();
    form->actEditExecute();
    form->actDeleteExecute();
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(prices.size(), 3);
    select(2);
    EXPECT_TRUE(form->btnDelete->isEnabled());
}

namespace {

// Runs body on the editor once its modal loop runs, then cancels whatever
// is still open.
void answerPriceEditor(const std::function<void(TPriceEditorForm&)>& body)
{
    QTimer::singleShot(0, [body] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* editor = qobject_cast<TPriceEditorForm*>(modal)) {
            QAbstractItemModelTester tester(editor->lvPrices->model());
            body(*editor);
        }
        if (modal && modal->isVisible())
            modal->close();
    });
}

} // namespace

TEST_F(PriceEditor, is_confirmed_by_ok_only)
{
    form.reset();
    answerPriceEditor([](TPriceEditorForm& shown) { QTest::mouseClick(shown.btnOk, Qt::LeftButton); });
    EXPECT_TRUE(runPriceEditor(&prices));
    answerPriceEditor([](TPriceEditorForm& shown) { QTest::keyClick(&shown, Qt::Key_Escape); });
    EXPECT_FALSE(runPriceEditor(&prices));
}

TEST_F(PriceEditor, cancelled_after_additions_and_deletions_leaves_the_snapshot_taken_before_as_the_table)
{
    form.reset();
    const Prices snapshot(prices); // as the meter keeps it
    answerPriceEditor([this](TPriceEditorForm& shown) {
        answerWith(shown);
        answer = {true, EncodeDate(2004, 2, 1), 1, 9, 9};
        shown.actAdd->trigger();
        answer = {true, EncodeDate(2005, 1, 1), 0, 8, 8};
        shown.actAdd->trigger();
        shown.lvPrices->selectRow(0);
        shown.actDelete->trigger();
        EXPECT_EQ(shown.lvPrices->model()->rowCount(), 4);
        QTest::mouseClick(shown.btnCancel, Qt::LeftButton);
    });
    ASSERT_FALSE(runPriceEditor(&prices));
    EXPECT_EQ(prices.size(), 4); // the editor works on the table itself
    prices = snapshot;
    ASSERT_EQ(prices.size(), 3);
    int entryId = 0;
    TDateTime date = 0;
    double uploadPrice = 0, downloadPrice = 0;
    prices.getItem(0, entryId, date, uploadPrice, downloadPrice);
    EXPECT_EQ(date, EncodeDate(2004, 3, 1)); // the deleted item is back
    prices.getItem(2, entryId, date, uploadPrice, downloadPrice);
    EXPECT_EQ(date, EncodeDate(2004, 1, 15)); // and the added ones gone
}
