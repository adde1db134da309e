#include "ui/PriceRecordEditorFrm.h"

#include "model/datamodel.h"
#include "ui/guicommon.h"
#include "ui/pricesListModel.h"

#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QShowEvent>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

constexpr int FIELD_HEIGHT = 21;
constexpr int LABEL_LEFT = 12;
// The fields' column as designed, and its right end (the connection's).
constexpr int FIELD_LEFT = 144;
constexpr int FIELDS_RIGHT = 393;
// At least this much between a caption and the fields.
constexpr int CAPTION_GAP = 8;

constexpr const char* NEGATIVE_PRICE = "A price cannot be negative.";
constexpr const char* HUGE_PRICE = "A price cannot be that large.";

QLabel* newLabel(QWidget* parent, const char* name, const char* caption, int left, int top, QWidget* buddy)
{
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(name);
    label->move(left, top);
    label->adjustSize();
    label->setBuddy(buddy);
    return label;
}

QLineEdit* newPriceEdit(QWidget* parent, const char* name, int top)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(FIELD_LEFT, top, 57, FIELD_HEIGHT);
    return edit;
}

// The fields' left edge: the designed one, or further right where a
// caption in this font would run into its field.
int fieldColumn(std::initializer_list<const QLabel*> captions)
{
    int left = FIELD_LEFT;
    for (const QLabel* caption : captions)
        left = std::max(left, caption->geometry().right() + 1 + CAPTION_GAP);
    return left;
}

bool isBlank(const QLineEdit* edit) { return edit->text().trimmed().isEmpty(); }

bool isNegative(const QLineEdit* edit)
{
    const std::optional<double> price = tryParsePrice(edit->text());
    return price && *price < 0;
}

bool isHuge(const QLineEdit* edit)
{
    const std::optional<double> price = tryParsePrice(edit->text());
    return price && !isCostablePrice(*price);
}

} // namespace

TPriceRecordEditorForm::TPriceRecordEditorForm(QWidget* parent) : QDialog(parent)
{
    setObjectName("PriceRecordEditorForm");
    setWindowTitle("Costs");
    setFixedSize(clientSizeFor(430, 224));
    useDialogFont(this);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken); // a raised bevel inside a lowered one
    Panel1->setGeometry(8, 8, 405, 141);

    dtpDate = new QDateEdit(Panel1);
    dtpDate->setObjectName("dtpDate");
    dtpDate->setCalendarPopup(true);
    // Every day the table can hold, so that an old item is not moved by
    // an Edit that changes nothing.
    dtpDate->setDateRange(QDate(1, 1, 1), QDate(9999, 12, 31));
    dtpDate->setDisplayFormat(shortDateFormat());
    // 85 holds a short date with a two-digit year; a four-digit one needs
    // a few pixels more, and the row has room to the right.
    dtpDate->setGeometry(FIELD_LEFT, 12, std::max(85, dtpDate->sizeHint().width()), FIELD_HEIGHT);
    Label1 = newLabel(Panel1, "Label1", "Da&te", LABEL_LEFT, 16, dtpDate);

    cbEntryName = new QComboBox(Panel1);
    cbEntryName->setObjectName("cbEntryName");
    cbEntryName->setEditable(false);
    cbEntryName->setGeometry(FIELD_LEFT, 44, FIELDS_RIGHT - FIELD_LEFT, cbEntryName->sizeHint().height());
    lbConnection = newLabel(Panel1, "lbConnection", "&Connection", LABEL_LEFT, 48, cbEntryName);

    edUploadPrice = newPriceEdit(Panel1, "edUploadPrice", 76);
    Label2 = newLabel(Panel1, "Label2", "&Upload Costs per Mb", LABEL_LEFT, 80, edUploadPrice);
    edDownloadPrice = newPriceEdit(Panel1, "edDownloadPrice", 108);
    Label3 = newLabel(Panel1, "Label3", "&Download Costs per Mb", LABEL_LEFT, 112, edDownloadPrice);
    // The fields move right together, the connection keeping its right end.
    const int left = fieldColumn({Label1, lbConnection, Label2, Label3});
    for (QWidget* field : std::initializer_list<QWidget*>{dtpDate, edUploadPrice, edDownloadPrice})
        field->move(left, field->y());
    cbEntryName->setGeometry(left, cbEntryName->y(), FIELDS_RIGHT - left, cbEntryName->height());

    // Why OK stays disabled although every field is filled.
    lbNegativePrice = new QLabel(this);
    lbNegativePrice->setObjectName("lbNegativePrice");
    lbNegativePrice->setGeometry(8, 168, 212, fontMetrics().height());

    btnOk = new QPushButton("OK", this);
    btnOk->setObjectName("btnOk");
    btnOk->setGeometry(228, 164, 83, 25);
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, guarded([this] { accept(); }));
    btnCancel = new QPushButton("Cancel", this);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setGeometry(328, 164, 85, 25);
    connect(btnCancel, &QPushButton::clicked, this, guarded([this] { reject(); }));

    connect(cbEntryName, &QComboBox::currentIndexChanged, this, guarded([this] { updateOkButton(); }));
    connect(edUploadPrice, &QLineEdit::textChanged, this, guarded([this] { updateOkButton(); }));
    connect(edDownloadPrice, &QLineEdit::textChanged, this, guarded([this] { updateOkButton(); }));
    // Leaving the field, not Return: Return confirms the dialog.
    edUploadPrice->installEventFilter(this);
}

void TPriceRecordEditorForm::setEntryNames(const DataList& entryNames)
{
    cbEntryName->clear();
    for (int i = 0; i < entryNames.size(); ++i)
        cbEntryName->addItem(QString::fromStdString(entryNames.nameOf(i)));
}

void TPriceRecordEditorForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Restored from minimised: the user's input stays, and where it was.
    if (event->spontaneous())
        return;
    centreOnScreen(this);
    guarded([this] { FormShow(); })();
}

bool TPriceRecordEditorForm::eventFilter(QObject* watched, QEvent* event)
{
    // Switching to another window or opening a context menu is no leaving.
    if (watched == edUploadPrice && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            guarded([this] { edUploadPriceExit(); })();
    }
    return QDialog::eventFilter(watched, event);
}

void TPriceRecordEditorForm::FormShow()
{
    if (isNew) {
        dtpDate->setDate(qDateFromDate(Now()));
        edUploadPrice->clear();
        edDownloadPrice->clear();
        cbEntryName->setCurrentIndex(-1);
    } else {
        dtpDate->setDate(qDateFromDate(priceDate));
        edUploadPrice->setText(priceText(uploadPrice));
        edDownloadPrice->setText(priceText(downloadPrice));
    }
    updateOkButton();
}

void TPriceRecordEditorForm::updateOkButton()
{
    // The table holds no negative price, nor one that no cost could be
    // computed with: such input is refused here, and the dialog says why.
    const bool negative = isNegative(edUploadPrice) || isNegative(edDownloadPrice);
    const bool huge = isHuge(edUploadPrice) || isHuge(edDownloadPrice);
    btnOk->setEnabled(!isBlank(edUploadPrice) && !isBlank(edDownloadPrice) && cbEntryName->currentIndex() >= 0 &&
                      !negative && !huge);
    const QString why = negative ? QString::fromUtf8(NEGATIVE_PRICE)
                        : huge   ? QString::fromUtf8(HUGE_PRICE)
                                 : QString();
    lbNegativePrice->setText(why);
    btnOk->setToolTip(why);
}

void TPriceRecordEditorForm::edUploadPriceExit()
{
    if (!isBlank(edUploadPrice) && isBlank(edDownloadPrice))
        edDownloadPrice->setText(edUploadPrice->text());
}

void TPriceRecordEditorForm::FormCloseQuery()
{
    priceDate = dateFromQDate(dtpDate->date()); // a whole day
    uploadPrice = parsePrice(edUploadPrice->text());
    downloadPrice = parsePrice(edDownloadPrice->text());
}

void TPriceRecordEditorForm::accept()
{
    // Only what OK may confirm closes the dialog, however accept is reached.
    if (!btnOk->isEnabled())
        return;
    bool allowed = false;
    guarded([&] {
        FormCloseQuery();
        allowed = true;
    })();
    if (allowed)
        QDialog::accept();
}

bool runPriceRecordEditor(bool isNew, TDateTime& date, int& entryId, double& uploadPrice, double& downloadPrice,
                          const DataList& entryNames, QWidget* parent)
{
    TPriceRecordEditorForm form(parent);
    form.setEntryNames(entryNames);
    if (!isNew)
        form.cbEntryName->setCurrentIndex(entryId);
    form.isNew = isNew;
    form.priceDate = date;
    form.uploadPrice = uploadPrice;
    form.downloadPrice = downloadPrice;
    if (form.exec() != QDialog::Accepted)
        return false;
    date = form.priceDate;
    entryId = form.cbEntryName->currentIndex();
    uploadPrice = form.uploadPrice;
    downloadPrice = form.downloadPrice;
    return true;
}
