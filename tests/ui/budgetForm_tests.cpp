// The budget dialog: what its fields make, and why OK refuses.
#include "ui/budgetForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <gtest/gtest.h>

TEST(BudgetForm, makes_a_budget_of_the_locale_s_numbers_and_says_why_it_refuses_the_rest)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TBudgetForm form;
    form.setBudget("lte0", std::nullopt);
    EXPECT_EQ(form.windowTitle(), "Budget of lte0");
    EXPECT_FALSE(form.btnRemove->isVisible());
    EXPECT_FALSE(form.btnOk->isEnabled());
    EXPECT_EQ(form.lbWhy->text(), "A budget needs a cap in megabytes, in money, or both.");

    form.cbCapTraffic->setChecked(true);
    for (const auto& [text, why] : std::initializer_list<std::pair<const char*, const char*>>{
             {"-5", "A cap in megabytes must be a number above 0."},
             {"0", "A cap in megabytes must be a number above 0."},
             {"1.5", "'1.5' is not a number."}, // a group separator here
             {"inf", "'inf' is not a number."},
             {"nan", "'nan' is not a number."}}) {
        form.edCapTraffic->setText(text);
        EXPECT_FALSE(form.btnOk->isEnabled()) << text;
        EXPECT_EQ(form.lbWhy->text().toStdString(), why);
    }
    form.edCapTraffic->setText("1,5");
    form.cbTrafficUnit->setCurrentIndex(1); // GB
    form.seBillingDay->setValue(31);
    form.cbCounted->setCurrentIndex(2);
    form.cbNotify->setChecked(false);
    EXPECT_TRUE(form.btnOk->isEnabled());
    EXPECT_EQ(form.lbWhy->text(), "");
    EXPECT_EQ(form.budget(), (Budget{1536.0, std::nullopt, 31, CountedTraffic::sent, false}));

    // A stored budget comes back as typed: whole gigabytes in GB.
    form.setBudget("lte0", Budget{20480.0, 12.5, 5});
    EXPECT_EQ(form.edCapTraffic->text(), "20");
    EXPECT_EQ(form.cbTrafficUnit->currentText(), "GB");
    EXPECT_EQ(form.edCapMoney->text(), "12,5");
    EXPECT_EQ(form.budget(), (Budget{20480.0, 12.5, 5}));
    EXPECT_FALSE(form.btnRemove->isHidden());
    QLocale::setDefault(previous);
}
