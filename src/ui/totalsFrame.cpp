#include "ui/totalsFrame.h"

#include "model/datamodel.h"
#include "model/viewformat.h"

#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int FRAME_WIDTH = 281;
constexpr int FRAME_HEIGHT = 117;
constexpr int BORDER = 6;
// The group box's width as designed, from which the right-anchored labels
// keep their distance to its right edge.
constexpr int DESIGNED_BOX_WIDTH = FRAME_WIDTH - 2 * BORDER;
// Room for the values left of their right edges: "99999.9 Mb" and "99999.99".
constexpr int TRAFFIC_WIDTH = 80;
constexpr int COSTS_WIDTH = 52;
// The least room between a row's head and its first value.
constexpr int ROW_GAP = 4;

QLabel* newLabel(QWidget* parent, const char* name, const char* text, int left, int top, const QColor& colour)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(name);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->move(left, top);
    label->adjustSize();
    return label;
}

// A value right-justified against its right edge, black and bold.
QLabel* newValue(QWidget* parent, const char* name, int right, int top, int width)
{
    QLabel* label = newLabel(parent, name, "", right - width, top, Qt::black);
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    label->resize(width, label->fontMetrics().height());
    return label;
}

QFrame* newRule(QWidget* parent, const char* name, int top)
{
    auto* rule = new QFrame(parent);
    rule->setObjectName(name);
    rule->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    rule->setGeometry(8, top, 252, 2);
    return rule;
}

} // namespace

TtotalsTableFrame::TtotalsTableFrame(QWidget* parent) : QWidget(parent)
{
    setObjectName("totalsTableFrame");
    resize(FRAME_WIDTH, FRAME_HEIGHT);
    pTotals = new QFrame(this);
    pTotals->setObjectName("pTotals");
    auto* fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(pTotals);

    GroupBox = new QGroupBox(" Totals ", pTotals);
    GroupBox->setObjectName("GroupBox");
    auto* inside = new QVBoxLayout(pTotals);
    inside->setContentsMargins(BORDER, BORDER, BORDER, BORDER);
    inside->addWidget(GroupBox);
    QFont bold = GroupBox->font();
    bold.setBold(true);
    GroupBox->setFont(bold);
    QPalette navy = GroupBox->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    GroupBox->setPalette(navy);

    const QColor heads(0, 0, 128);
    Label5 = newLabel(GroupBox, "Label5", "Traffic", 159, 16, heads);
    Label6 = newLabel(GroupBox, "Label6", "Costs", 223, 16, heads);
    Bevel1 = newRule(GroupBox, "Bevel1", 32);
    Label2 = newLabel(GroupBox, "Label2", "Sent", 12, 40, heads);
    Label3 = newLabel(GroupBox, "Label3", "Received", 12, 60, heads);
    Bevel2 = newRule(GroupBox, "Bevel2", 76);
    Label4 = newLabel(GroupBox, "Label4", "Both Directions", 12, 84, heads);
    lbTrafficU = newValue(GroupBox, "lbTrafficU", 198, 40, TRAFFIC_WIDTH);
    lbTrafficD = newValue(GroupBox, "lbTrafficD", 198, 60, TRAFFIC_WIDTH);
    lbTrafficT = newValue(GroupBox, "lbTrafficT", 198, 84, TRAFFIC_WIDTH);
    lbCostsU = newValue(GroupBox, "lbCostsU", 255, 40, COSTS_WIDTH);
    lbCostsD = newValue(GroupBox, "lbCostsD", 255, 60, COSTS_WIDTH);
    lbCostsT = newValue(GroupBox, "lbCostsT", 255, 84, COSTS_WIDTH);
    for (QLabel* label : {Label5, lbTrafficU, lbTrafficD, lbTrafficT})
        anchoredRight.push_back({label, label->x() + label->width(), label->width(), false});
    for (QLabel* label : {Label6, lbCostsU, lbCostsD, lbCostsT})
        anchoredRight.push_back({label, label->x() + label->width(), label->width(), true});
    rows = {{Label2, lbTrafficU}, {Label3, lbTrafficD}, {Label4, lbTrafficT}};
    for (const auto& [head, value] : rows)
        headTexts.push_back(head->text());
    GroupBox->installEventFilter(this);
}

void TtotalsTableFrame::place()
{
    const int shift = GroupBox->width() - DESIGNED_BOX_WIDTH;
    int costsGrowth = 0;
    for (const Anchored& a : anchoredRight)
        if (a.costs)
            costsGrowth = std::max(costsGrowth, a.label->sizeHint().width() - a.designedWidth);
    for (const Anchored& a : anchoredRight) {
        const int width = std::max(a.designedWidth, a.label->sizeHint().width());
        const int right = a.designedRight + shift - (a.costs ? 0 : costsGrowth);
        a.label->setGeometry(right - width, a.label->y(), width, a.label->height());
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto [head, value] = rows[i];
        // The value is right-justified: only its text's extent counts.
        const int textLeft = value->geometry().right() + 1 - value->fontMetrics().horizontalAdvance(value->text());
        const int room = textLeft - ROW_GAP - head->x();
        const QString shown = head->fontMetrics().elidedText(headTexts[i], Qt::ElideRight, std::max(0, room));
        head->setText(shown);
        head->setToolTip(shown == headTexts[i] ? QString() : headTexts[i]);
        head->adjustSize();
    }
}

bool TtotalsTableFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == GroupBox && event->type() == QEvent::Resize)
        place();
    return QWidget::eventFilter(watched, event);
}

void TtotalsTableFrame::showTotals(const Total4Period& totals, const std::string& title)
{
    const double sentMb = truncatedMb(totals.sent);
    const double receivedMb = truncatedMb(totals.received);
    lbTrafficU->setText(QString::fromStdString(trafficText(sentMb)));
    lbTrafficD->setText(QString::fromStdString(trafficText(receivedMb)));
    lbTrafficT->setText(QString::fromStdString(trafficText(sentMb + receivedMb)));
    lbCostsU->setText(QString::fromStdString(costText(totals.uploadCost, totals.costsUnknown)));
    lbCostsD->setText(QString::fromStdString(costText(totals.downloadCost, totals.costsUnknown)));
    lbCostsT->setText(QString::fromStdString(costText(totals.uploadCost + totals.downloadCost, totals.costsUnknown)));
    GroupBox->setTitle(QString(" Totals: %1 ").arg(QString::fromStdString(title)));
    place();
}
