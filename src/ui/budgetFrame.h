// The Budget group of the Totals tab: the selected connection's period, a
// bar of each cap set with its used share, and used, cap, projection and
// what is left a day, in traffic and in money; "No budget set" without one.
// Its button opens the budget dialog.
#pragma once

#include "model/budget.h"

#include <QGroupBox>

#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;

class TBudgetFrame : public QGroupBox {
    Q_OBJECT
public:
    explicit TBudgetFrame(QWidget* parent = nullptr);

    void showBudget(const std::optional<Budget>& budget, const std::optional<BudgetFigures>& figures);
    // The button's handler.
    std::function<void()> onSetBudget;

    QLabel* lbNoBudget;
    QLabel* lbPeriodHead;
    QLabel* lbPeriod;
    QLabel* lbCountedHead;
    QLabel* lbCounted;
    QLabel* lbTrafficHead;
    QLabel* lbMoneyHead;
    QProgressBar* pbTraffic;
    QProgressBar* pbMoney;
    QLabel* lbUsedHead;
    QLabel* lbUsedTraffic;
    QLabel* lbUsedMoney;
    QLabel* lbCapHead;
    QLabel* lbCapTraffic;
    QLabel* lbCapMoney;
    QLabel* lbProjectedHead;
    QLabel* lbProjectedTraffic;
    QLabel* lbProjectedMoney;
    QLabel* lbLeftHead;
    QLabel* lbLeftTraffic;
    QLabel* lbLeftMoney;
    QPushButton* btnSetBudget;

private:
    // A row of figures: its head, its traffic and its money, named
    // "lb" + name + "Head", "Traffic" and "Money".
    struct Row {
        QLabel** head;
        QLabel** traffic;
        QLabel** money;
    };
    void newRow(const Row& row, const QString& name, const char* caption, int top);

    std::vector<QWidget*> figureWidgets; // hidden without a budget
};
