#include "ui/budgetFrame.h"

#include "model/viewformat.h"
#include "ui/budgetForm.h"
#include "ui/guicommon.h"
#include "ui/totalsFrame.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace {

// Room for "1073741824 GB" (a cap of 2^40 MB) and "1000000000.00".
constexpr int TRAFFIC_RIGHT = 232;
constexpr int MONEY_RIGHT = 356;
constexpr int VALUE_WIDTH = 116;
constexpr int BAR_WIDTH = 96;

QProgressBar* newBar(QWidget* parent, const char* name, int right)
{
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setRange(0, 100);
    bar->setFormat("%p %");
    bar->setGeometry(right - BAR_WIDTH, 82, BAR_WIDTH, 16);
    return bar;
}

// Green below the first level, orange from it, red at the last.
QColor levelColour(int level)
{
    if (level >= BUDGET_LEVELS[std::size(BUDGET_LEVELS) - 1])
        return QColor(200, 0, 0);
    if (level > 0)
        return QColor(230, 140, 0);
    return QColor(0, 128, 0);
}

void showBar(QProgressBar* bar, const std::optional<double>& percent, int level)
{
    bar->setVisible(percent.has_value());
    if (!percent)
        return;
    bar->setValue(static_cast<int>(std::clamp(std::floor(*percent), 0.0, 100.0)));
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Highlight, levelColour(level));
    bar->setPalette(palette);
}

QString trafficCell(const std::optional<double>& mb)
{
    return QString::fromStdString(mb ? megabytesText(*mb) : budgetFigureText(std::nullopt));
}

QString moneyCell(const std::optional<double>& money) { return QString::fromStdString(budgetFigureText(money)); }

} // namespace

TBudgetFrame::TBudgetFrame(QWidget* parent) : QGroupBox(" Budget ", parent)
{
    setObjectName("gbBudget");
    styleTotalsGroup(this);
    const QColor heads = TOTALS_HEADS;
    lbNoBudget = newTotalsLabel(this, "lbNoBudget", "No budget set", 12, 20, Qt::black);
    lbPeriodHead = newTotalsLabel(this, "lbPeriodHead", "Period", 12, 20, heads);
    lbPeriod = newTotalsLabel(this, "lbPeriod", "", 110, 20, Qt::black);
    lbCountedHead = newTotalsLabel(this, "lbCountedHead", "Counted", 12, 40, heads);
    lbCounted = newTotalsLabel(this, "lbCounted", "", 110, 40, Qt::black);
    auto* rule1 = newTotalsRule(this, "Bevel1", 58, MONEY_RIGHT - 4);
    lbTrafficHead = newTotalsLabel(this, "lbTrafficHead", "Traffic", 0, 64, heads);
    lbTrafficHead->move(TRAFFIC_RIGHT - lbTrafficHead->width(), 64);
    lbMoneyHead = newTotalsLabel(this, "lbMoneyHead", "Money", 0, 64, heads);
    lbMoneyHead->move(MONEY_RIGHT - lbMoneyHead->width(), 64);
    pbTraffic = newBar(this, "pbTraffic", TRAFFIC_RIGHT);
    pbMoney = newBar(this, "pbMoney", MONEY_RIGHT);
    newRow({&lbUsedHead, &lbUsedTraffic, &lbUsedMoney}, "Used", "Used", 104);
    newRow({&lbCapHead, &lbCapTraffic, &lbCapMoney}, "Cap", "Cap", 124);
    auto* rule2 = newTotalsRule(this, "Bevel2", 142, MONEY_RIGHT - 4);
    newRow({&lbProjectedHead, &lbProjectedTraffic, &lbProjectedMoney}, "Projected", "At this pace", 150);
    newRow({&lbLeftHead, &lbLeftTraffic, &lbLeftMoney}, "Left", "Left per day", 170);
    figureWidgets = {lbPeriodHead, lbPeriod, lbCountedHead, lbCounted, rule1, lbTrafficHead, lbMoneyHead,
                     pbTraffic, pbMoney, lbUsedHead, lbUsedTraffic, lbUsedMoney, lbCapHead, lbCapTraffic,
                     lbCapMoney, rule2, lbProjectedHead, lbProjectedTraffic, lbProjectedMoney, lbLeftHead,
                     lbLeftTraffic, lbLeftMoney};

    btnSetBudget = new QPushButton("Set Budget...", this);
    btnSetBudget->setObjectName("btnSetBudget");
    QFont plain = btnSetBudget->font(); // not the group's bold
    plain.setBold(false);
    btnSetBudget->setFont(plain);
    btnSetBudget->setGeometry(MONEY_RIGHT - 95, 196, 95, 25);
    connect(btnSetBudget, &QPushButton::clicked, this, guarded([this] {
                if (onSetBudget)
                    onSetBudget();
            }));
    resize(MONEY_RIGHT + 12, 232);
    showBudget(std::nullopt, std::nullopt);
}

void TBudgetFrame::newRow(const Row& row, const QString& name, const char* caption, int top)
{
    *row.head = newTotalsLabel(this, qPrintable("lb" + name + "Head"), caption, 12, top, TOTALS_HEADS);
    *row.traffic = newTotalsValue(this, qPrintable("lb" + name + "Traffic"), TRAFFIC_RIGHT, top, VALUE_WIDTH);
    *row.money = newTotalsValue(this, qPrintable("lb" + name + "Money"), MONEY_RIGHT, top, VALUE_WIDTH);
}

void TBudgetFrame::showBudget(const std::optional<Budget>& budget, const std::optional<BudgetFigures>& figures)
{
    const bool shown = budget && figures;
    lbNoBudget->setVisible(!shown);
    for (QWidget* widget : figureWidgets)
        widget->setVisible(shown);
    if (!shown)
        return;
    const BudgetFigures& f = *figures;
    lbPeriod->setText(QString::fromStdString(FormatDateTime("d mmm yyyy", f.period.start) + " - " +
                                             FormatDateTime("d mmm yyyy", f.period.end - 1)));
    lbPeriod->adjustSize();
    lbCounted->setText(COUNTED_CAPTIONS[static_cast<int>(budget->counted)]);
    lbCounted->adjustSize();
    showBar(pbTraffic, f.percentMb, f.levelMb);
    showBar(pbMoney, f.percentMoney, f.levelMoney);
    lbUsedTraffic->setText(trafficCell(f.usedMb));
    // Money used is unknown ("?") where a record of the period has no price.
    lbUsedMoney->setText(QString::fromStdString(costText(f.usedMoney.value_or(0), !f.usedMoney)));
    lbCapTraffic->setText(trafficCell(budget->capMb));
    lbCapMoney->setText(moneyCell(budget->capMoney));
    lbProjectedTraffic->setText(trafficCell(f.projectedMb));
    lbProjectedMoney->setText(moneyCell(f.projectedMoney));
    lbLeftTraffic->setText(trafficCell(f.leftPerDayMb));
    lbLeftMoney->setText(moneyCell(f.leftPerDayMoney));
}
