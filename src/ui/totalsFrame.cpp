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

} // namespace

namespace {

void setBoldIn(QWidget* widget, const QColor& colour)
{
    QFont bold = widget->font();
    bold.setBold(true);
    widget->setFont(bold);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

} // namespace

void styleTotalsGroup(QGroupBox* group) { setBoldIn(group, TOTALS_HEADS); }

QLabel* newTotalsLabel(QWidget* parent, const char* name, const char* text, int left, int top, const QColor& colour)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(name);
    setBoldIn(label, colour);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLabel* newTotalsValue(QWidget* parent, const char* name, int right, int top, int width)
{
    QLabel* label = newTotalsLabel(parent, name, "", right - width, top, Qt::black);
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    label->resize(width, label->fontMetrics().height());
    return label;
}

QFrame* newTotalsRule(QWidget* parent, const char* name, int top, int width)
{
    auto* rule = new QFrame(parent);
    rule->setObjectName(name);
    rule->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    rule->setGeometry(8, top, width, 2);
    return rule;
}

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
    styleTotalsGroup(GroupBox);
    const QColor heads = TOTALS_HEADS;
    Label5 = newTotalsLabel(GroupBox, "Label5", "Traffic", 159, 16, heads);
    Label6 = newTotalsLabel(GroupBox, "Label6", "Costs", 223, 16, heads);
    Bevel1 = newTotalsRule(GroupBox, "Bevel1", 32, 252);
    Label2 = newTotalsLabel(GroupBox, "Label2", "Sent", 12, 40, heads);
    Label3 = newTotalsLabel(GroupBox, "Label3", "Received", 12, 60, heads);
    Bevel2 = newTotalsRule(GroupBox, "Bevel2", 76, 252);
    Label4 = newTotalsLabel(GroupBox, "Label4", "Both Directions", 12, 84, heads);
    lbTrafficU = newTotalsValue(GroupBox, "lbTrafficU", 198, 40, TRAFFIC_WIDTH);
    lbTrafficD = newTotalsValue(GroupBox, "lbTrafficD", 198, 60, TRAFFIC_WIDTH);
    lbTrafficT = newTotalsValue(GroupBox, "lbTrafficT", 198, 84, TRAFFIC_WIDTH);
    lbCostsU = newTotalsValue(GroupBox, "lbCostsU", 255, 40, COSTS_WIDTH);
    lbCostsD = newTotalsValue(GroupBox, "lbCostsD", 255, 60, COSTS_WIDTH);
    lbCostsT = newTotalsValue(GroupBox, "lbCostsT", 255, 84, COSTS_WIDTH);
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
