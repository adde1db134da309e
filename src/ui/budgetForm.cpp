#include "ui/budgetForm.h"

#include "errors/ltexception.h"
#include "model/budgetstore.h"
#include "ui/guicommon.h"
#include "ui/pricesListModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <cmath>

namespace {

constexpr int FIELD_LEFT = 150;
constexpr int FIELD_WIDTH = 90;
enum TrafficUnit { UNIT_MB = 0, UNIT_GB = 1 };

QLabel* newCaption(QWidget* parent, const char* name, const char* text, int top, QWidget* buddy)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(12, top + 3);
    label->adjustSize();
    label->setBuddy(buddy);
    return label;
}

QCheckBox* newCheck(QWidget* parent, const char* name, const char* text, int top)
{
    auto* check = new QCheckBox(text, parent);
    check->setObjectName(name);
    check->move(12, top + 1);
    check->adjustSize();
    return check;
}

QLineEdit* newNumberEdit(QWidget* parent, const char* name, int top)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(FIELD_LEFT, top, FIELD_WIDTH, 21);
    return edit;
}

// A cap field's number: none when unchecked; the reason when the text is
// no number (the locale's, as prices are typed).
std::optional<double> capOf(const QCheckBox* check, const QLineEdit* edit, std::string& why)
{
    if (!check->isChecked())
        return std::nullopt;
    const std::optional<double> value = tryParsePrice(edit->text());
    if (!value && why.empty())
        why = "'" + edit->text().trimmed().toStdString() + "' is not a number.";
    return value.value_or(0);
}

} // namespace

TBudgetForm::TBudgetForm(QWidget* parent) : QDialog(parent)
{
    setObjectName("BudgetForm");
    setWindowTitle("Budget");
    setFixedSize(clientSizeFor(380, 262));
    useDialogFont(this);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Panel1->setGeometry(8, 8, 355, 170);

    cbCapTraffic = newCheck(Panel1, "cbCapTraffic", "Cap &traffic", 12);
    edCapTraffic = newNumberEdit(Panel1, "edCapTraffic", 12);
    cbTrafficUnit = new QComboBox(Panel1);
    cbTrafficUnit->setObjectName("cbTrafficUnit");
    cbTrafficUnit->addItems({"MB", "GB"});
    cbTrafficUnit->setGeometry(FIELD_LEFT + FIELD_WIDTH + 6, 12, 60, 21);
    cbCapMoney = newCheck(Panel1, "cbCapMoney", "Cap &money", 44);
    edCapMoney = newNumberEdit(Panel1, "edCapMoney", 44);

    seBillingDay = new QSpinBox(Panel1);
    seBillingDay->setObjectName("seBillingDay");
    seBillingDay->setRange(1, 31);
    seBillingDay->setGeometry(FIELD_LEFT, 76, 60, 21);
    lbBillingDay = newCaption(Panel1, "lbBillingDay", "&Billing day", 76, seBillingDay);

    cbCounted = new QComboBox(Panel1);
    cbCounted->setObjectName("cbCounted");
    for (const char* caption : COUNTED_CAPTIONS)
        cbCounted->addItem(caption);
    cbCounted->setGeometry(FIELD_LEFT, 108, 156, 21);
    lbCounted = newCaption(Panel1, "lbCounted", "C&ounted traffic", 108, cbCounted);

    cbNotify = newCheck(Panel1, "cbNotify", "&Notify me at 80, 90 and 100 %", 140);

    lbWhy = new QLabel(this);
    lbWhy->setObjectName("lbWhy");
    lbWhy->setGeometry(8, 184, 355, fontMetrics().height());

    btnRemove = new QPushButton("&Remove", this);
    btnRemove->setObjectName("btnRemove");
    btnRemove->setGeometry(8, 206, 83, 25);
    btnOk = new QPushButton("OK", this);
    btnOk->setObjectName("btnOk");
    btnOk->setGeometry(188, 206, 83, 25);
    btnOk->setDefault(true);
    btnCancel = new QPushButton("Cancel", this);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setGeometry(280, 206, 83, 25);

    connect(btnOk, &QPushButton::clicked, this, guarded([this] {
                if (btnOk->isEnabled())
                    accept();
            }));
    connect(btnCancel, &QPushButton::clicked, this, guarded([this] { reject(); }));
    connect(btnRemove, &QPushButton::clicked, this, guarded([this] {
                removed = true;
                accept();
            }));
    for (QLineEdit* edit : {edCapTraffic, edCapMoney})
        connect(edit, &QLineEdit::textChanged, this, guarded([this] { updateOkButton(); }));
    for (QCheckBox* check : {cbCapTraffic, cbCapMoney})
        connect(check, &QCheckBox::toggled, this, guarded([this] { updateOkButton(); }));
    connect(cbTrafficUnit, &QComboBox::currentIndexChanged, this, guarded([this] { updateOkButton(); }));
    setBudget("", std::nullopt);
}

void TBudgetForm::setBudget(const std::string& connection, const std::optional<Budget>& budget)
{
    setWindowTitle(QString::fromStdString(connection.empty() ? "Budget" : "Budget of " + connection));
    const Budget b = budget.value_or(Budget{});
    cbCapTraffic->setChecked(b.capMb.has_value());
    // Whole gigabytes are typed as such.
    const bool inGb = b.capMb && *b.capMb >= MB_PER_GB && std::fmod(*b.capMb, MB_PER_GB) == 0;
    cbTrafficUnit->setCurrentIndex(inGb ? UNIT_GB : UNIT_MB);
    edCapTraffic->setText(b.capMb ? priceText(inGb ? *b.capMb / MB_PER_GB : *b.capMb) : QString());
    cbCapMoney->setChecked(b.capMoney.has_value());
    edCapMoney->setText(b.capMoney ? priceText(*b.capMoney) : QString());
    seBillingDay->setValue(b.billingDay);
    cbCounted->setCurrentIndex(static_cast<int>(b.counted));
    cbNotify->setChecked(b.notify);
    btnRemove->setVisible(budget.has_value());
    removed = false;
    updateOkButton();
}

std::optional<Budget> TBudgetForm::budget(std::string* why) const
{
    std::string reason;
    Budget b;
    b.capMb = capOf(cbCapTraffic, edCapTraffic, reason);
    if (b.capMb && cbTrafficUnit->currentIndex() == UNIT_GB)
        *b.capMb *= MB_PER_GB;
    b.capMoney = capOf(cbCapMoney, edCapMoney, reason);
    b.billingDay = seBillingDay->value();
    b.counted = static_cast<CountedTraffic>(std::max(0, cbCounted->currentIndex()));
    b.notify = cbNotify->isChecked();
    if (reason.empty()) {
        try {
            checkBudget(b);
        } catch (const LTException& e) {
            reason = e.what();
        }
    }
    if (why)
        *why = reason;
    return reason.empty() ? std::optional<Budget>(b) : std::nullopt;
}

void TBudgetForm::updateOkButton()
{
    edCapTraffic->setEnabled(cbCapTraffic->isChecked());
    cbTrafficUnit->setEnabled(cbCapTraffic->isChecked());
    edCapMoney->setEnabled(cbCapMoney->isChecked());
    std::string why;
    btnOk->setEnabled(budget(&why).has_value());
    lbWhy->setText(QString::fromStdString(why));
    btnOk->setToolTip(lbWhy->text());
}

bool runBudgetDialog(const std::string& connection, QWidget* parent)
{
    const std::optional<Budget> stored = BudgetStore().budgetOf(connection);
    TBudgetForm form(parent);
    form.setBudget(connection, stored);
    if (form.exec() != QDialog::Accepted)
        return false;
    if (form.removeChosen()) {
        BudgetStore().removeBudget(connection);
        return true;
    }
    const std::optional<Budget> chosen = form.budget();
    if (!chosen || chosen == stored)
        return false;
    BudgetStore().setBudget(connection, *chosen);
    return true;
}
