// The budget dialog: the caps in traffic (megabytes or gigabytes) and in
// money, the billing day, the traffic that counts and whether to be told.
// OK stays disabled, saying why, while the input makes no budget.
#pragma once

#include "model/budget.h"

#include <QDialog>

#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The counted traffic as the dialog and the Budget group name it, in the
// order of CountedTraffic.
inline constexpr const char* COUNTED_CAPTIONS[] = {"Both directions", "Received only", "Sent only"};

class TBudgetForm : public QDialog {
    Q_OBJECT
public:
    explicit TBudgetForm(QWidget* parent = nullptr);

    // Fills the fields; none: an empty budget from the 1st, notifying.
    void setBudget(const std::string& connection, const std::optional<Budget>& budget);
    // The budget the fields make, or the reason they make none.
    std::optional<Budget> budget(std::string* why = nullptr) const;
    bool removeChosen() const { return removed; }

    QFrame* Panel1;
    QCheckBox* cbCapTraffic;
    QLineEdit* edCapTraffic;
    QComboBox* cbTrafficUnit;
    QCheckBox* cbCapMoney;
    QLineEdit* edCapMoney;
    QLabel* lbBillingDay;
    QSpinBox* seBillingDay;
    QLabel* lbCounted;
    QComboBox* cbCounted;
    QCheckBox* cbNotify;
    QLabel* lbWhy;
    QPushButton* btnRemove;
    QPushButton* btnOk;
    QPushButton* btnCancel;

private:
    void updateOkButton();
    bool removed = false;
};

// Shows the dialog for the connection's budget and saves what the user
// confirms (or removes it); true when the settings changed. Throws
// LTException when they cannot be read or written.
bool runBudgetDialog(const std::string& connection, QWidget* parent);
