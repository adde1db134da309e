// The record dialog of the price editor, driven through its controls, and
// the price text conversion both dialogs share.
#include "errors/ltexception.h"
#include "model/datamodel.h"
#include "ui/guicommon.h"
#include "ui/PriceRecordEditorFrm.h"
#include "ui/pricesListModel.h"
#include "ui/uslocale.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class RecordDialog : public ::testing::Test {
protected:
    UsLocale locale;
    DataList names;
    std::unique_ptr<TPriceRecordEditorForm> form;
    QStringList messages;
    MessageBox::Redirect redirect{[this](const QString& m) { messages << m; }};

    void SetUp() override
    {
        names.idOf("eth0");
        names.idOf("ppp0");
        SetFixedNow(EncodeDate(2004, 3, 1) + 0.75);
        form = std::make_unique<TPriceRecordEditorForm>();
        form->setEntryNames(names);
    }
    void TearDown() override { ClearFixedNow(); }

    // A new record, shown and active, so that focus moves between fields.
    void showNew()
    {
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    void type(QWidget* field, const QString& text)
    {
        field->setFocus();
        QTest::keyClicks(field, text);
    }
    void chooseConnection(int id) { form->cbEntryName->setCurrentIndex(id); }
};

// Runs body on the record dialog once its modal loop runs, then cancels
// whatever is still open.
void answerRecordDialog(const std::function<void(TPriceRecordEditorForm&)>& body)
{
    QTimer::singleShot(0, [body] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* form = qobject_cast<TPriceRecordEditorForm*>(modal))
            body(*form);
        if (modal && modal->isVisible())
            modal->close();
    });
}

} // namespace

TEST_F(RecordDialog, places_its_controls_as_designed_with_every_caption_clear_of_its_field_and_the_whole_date)
{
    showNew();
    EXPECT_EQ(form->windowTitle(), "Costs");
    EXPECT_EQ(form->size(), QSize(422, 197));
    EXPECT_EQ(form->btnCancel->geometry(), QRect(328, 164, 85, 25));
    EXPECT_EQ(form->edUploadPrice->size(), QSize(57, 21));
    for (const QLabel* caption : {form->Label1, form->lbConnection, form->Label2, form->Label3})
        EXPECT_FALSE(caption->geometry().intersects(caption->buddy()->geometry())) << caption->text().toStdString();
    EXPECT_EQ(form->Label1->buddy(), form->dtpDate);
    EXPECT_EQ(form->Label3->buddy(), form->edDownloadPrice);
    EXPECT_EQ(form->dtpDate->displayFormat(), "M/d/yyyy"); // the century always shown
    EXPECT_TRUE(form->dtpDate->calendarPopup());
    EXPECT_GE(form->dtpDate->width(), 85);
    EXPECT_GE(form->dtpDate->width(), form->dtpDate->sizeHint().width());
}

TEST(RecordDialogDate, widens_the_date_picker_where_the_short_date_has_a_four_digit_year)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    TPriceRecordEditorForm form;
    QLocale::setDefault(previous);
    EXPECT_EQ(form.dtpDate->displayFormat(), "dd/MM/yyyy");
    EXPECT_GT(form.dtpDate->width(), 85);
    EXPECT_GE(form.dtpDate->width(), form.dtpDate->sizeHint().width());
}

TEST_F(RecordDialog, starts_a_new_record_today_with_no_connection_no_prices_and_ok_disabled)
{
    showNew();
    EXPECT_EQ(form->dtpDate->date(), QDate(2004, 3, 1));
    EXPECT_EQ(form->cbEntryName->count(), 2);
    EXPECT_EQ(form->cbEntryName->itemText(1), "ppp0");
    EXPECT_EQ(form->cbEntryName->currentIndex(), -1);
    EXPECT_EQ(form->edUploadPrice->text(), "");
    EXPECT_EQ(form->edDownloadPrice->text(), "");
    EXPECT_FALSE(form->btnOk->isEnabled());
}

TEST_F(RecordDialog, enables_ok_only_with_a_connection_and_both_prices_filled)
{
    showNew();
    type(form->edDownloadPrice, "  ");
    type(form->edUploadPrice, "1");
    chooseConnection(1);
    EXPECT_FALSE(form->btnOk->isEnabled()); // blanks are no price
    type(form->edDownloadPrice, "0");
    EXPECT_TRUE(form->btnOk->isEnabled());
    form->edUploadPrice->clear();
    EXPECT_FALSE(form->btnOk->isEnabled());
    type(form->edUploadPrice, "2");
    chooseConnection(-1);
    EXPECT_FALSE(form->btnOk->isEnabled());
}

TEST_F(RecordDialog, refuses_a_negative_price_or_one_too_large_to_cost_keeping_ok_disabled_and_saying_why)
{
    showNew();
    chooseConnection(0);
    type(form->edDownloadPrice, "-0.5");
    type(form->edUploadPrice, "1");
    EXPECT_FALSE(form->btnOk->isEnabled());
    EXPECT_EQ(form->lbNegativePrice->text(), "A price cannot be negative.");
    EXPECT_EQ(form->btnOk->toolTip(), "A price cannot be negative.");
    form->accept(); // Return or a caller: no way past the disabled OK
    EXPECT_TRUE(form->isVisible());

    form->edDownloadPrice->setText("0.5");
    EXPECT_TRUE(form->btnOk->isEnabled());
    EXPECT_EQ(form->lbNegativePrice->text(), "");
    EXPECT_EQ(form->btnOk->toolTip(), "");
    form->edUploadPrice->setText("-0"); // no less than nothing
    EXPECT_TRUE(form->btnOk->isEnabled());
    form->edUploadPrice->setText("-1e-9");
    EXPECT_FALSE(form->btnOk->isEnabled());
    form->edUploadPrice->setText("1e297"); // 2^40 Mb of it is no finite cost
    EXPECT_FALSE(form->btnOk->isEnabled());
    EXPECT_EQ(form->lbNegativePrice->text(), "A price cannot be that large.");
    form->edUploadPrice->setText("1e295");
    EXPECT_TRUE(form->btnOk->isEnabled());
}

TEST_F(RecordDialog, copies_the_upload_text_as_typed_into_an_empty_download_field_on_leaving_it)
{
    showNew();
    type(form->edUploadPrice, "1.5 ");
    QTest::keyClick(form->edUploadPrice, Qt::Key_Tab);
    EXPECT_EQ(form->edDownloadPrice->text(), "1.5 ");
    EXPECT_EQ(QApplication::focusWidget(), form->edDownloadPrice);

    form->edDownloadPrice->setText("2");
    form->edUploadPrice->setText("3");
    form->edUploadPrice->setFocus();
    form->edDownloadPrice->setFocus();
    EXPECT_EQ(form->edDownloadPrice->text(), "2"); // a filled field is kept
}

TEST_F(RecordDialog, return_in_the_upload_field_neither_fills_the_download_field_nor_confirms)
{
    showNew();
    chooseConnection(0);
    type(form->edUploadPrice, "1.5");
    QTest::keyClick(form->edUploadPrice, Qt::Key_Return);
    EXPECT_EQ(form->edDownloadPrice->text(), "");
    EXPECT_TRUE(form->isVisible());
}

TEST_F(RecordDialog, rejects_a_comma_under_a_point_locale_naming_the_text_as_typed_and_stays_open)
{
    showNew();
    chooseConnection(0);
    type(form->edDownloadPrice, "1");
    type(form->edUploadPrice, " 0,5 ");
    QTest::mouseClick(form->btnOk, Qt::LeftButton);
    EXPECT_EQ(messages, QStringList{"' 0,5 ' is not a number. Input a number value, please."});
    EXPECT_TRUE(form->isVisible());
    EXPECT_NE(form->result(), QDialog::Accepted);
    EXPECT_EQ(form->edUploadPrice->text(), " 0,5 ");

    form->edUploadPrice->setText(" 0.5 ");
    QTest::mouseClick(form->btnOk, Qt::LeftButton);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(form->uploadPrice, 0.5);
    EXPECT_EQ(form->downloadPrice, 1.0);
    EXPECT_EQ(form->priceDate, EncodeDate(2004, 3, 1)); // the day, not the moment
}

TEST_F(RecordDialog, edits_an_existing_record_and_writes_back_the_day_connection_and_prices_on_ok)
{
    TDateTime date = EncodeDate(2004, 3, 1);
    int entryId = 1;
    double uploadPrice = 1234.5;
    double downloadPrice = 0.02;
    answerRecordDialog([](TPriceRecordEditorForm& shown) {
        EXPECT_EQ(shown.dtpDate->date(), QDate(2004, 3, 1));
        EXPECT_EQ(shown.cbEntryName->currentIndex(), 1);
        EXPECT_EQ(shown.edUploadPrice->text(), "1234.5"); // no group separator
        EXPECT_EQ(shown.edDownloadPrice->text(), "0.02");
        EXPECT_TRUE(shown.btnOk->isEnabled());
        shown.dtpDate->setDate(QDate(2004, 7, 1));
        shown.cbEntryName->setCurrentIndex(0);
        shown.edDownloadPrice->setText("0.04");
        QTest::mouseClick(shown.btnOk, Qt::LeftButton);
    });
    ASSERT_TRUE(runPriceRecordEditor(false, date, entryId, uploadPrice, downloadPrice, names));
    EXPECT_EQ(date, EncodeDate(2004, 7, 1));
    EXPECT_EQ(entryId, 0);
    EXPECT_EQ(uploadPrice, 1234.5);
    EXPECT_EQ(downloadPrice, 0.04);
}

TEST_F(RecordDialog, leaves_the_record_untouched_on_cancel)
{
    TDateTime date = EncodeDate(2004, 3, 1);
    int entryId = 1;
    double uploadPrice = 0.05;
    double downloadPrice = 0.02;
    answerRecordDialog([](TPriceRecordEditorForm& shown) {
        shown.cbEntryName->setCurrentIndex(0);
        shown.edUploadPrice->setText("9");
        QTest::mouseClick(shown.btnCancel, Qt::LeftButton);
    });
    EXPECT_FALSE(runPriceRecordEditor(false, date, entryId, uploadPrice, downloadPrice, names));
    EXPECT_EQ(date, EncodeDate(2004, 3, 1));
    EXPECT_EQ(entryId, 1);
    EXPECT_EQ(uploadPrice, 0.05);
    EXPECT_EQ(downloadPrice, 0.02);
}

TEST(PriceText, reads_trimmed_locale_numbers_and_refuses_group_separators_and_infinities)
{
    UsLocale locale;
    EXPECT_EQ(parsePrice("  2.5 "), 2.5);
    EXPECT_EQ(parsePrice("1e-3"), 0.001);
    for (const char* text : {"1,000", "inf", "nan", "", "0.5x"})
        EXPECT_FALSE(tryParsePrice(text)) << text;
    try {
        parsePrice(" ");
        FAIL() << "no error";
    } catch (const LTException& e) {
        EXPECT_STREQ(e.what(), "' ' is not a number. Input a number value, please.");
    }
    EXPECT_EQ(priceText(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(priceText(1234567.25), "1234567.25");
}

TEST(PriceText, uses_the_comma_where_the_locale_does)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(tryParsePrice("0,5"), 0.5);
    EXPECT_FALSE(tryParsePrice("0.5"));
    EXPECT_EQ(priceText(1234.5), "1234,5");
    QLocale::setDefault(previous);
}
