#include "ui/meterwidgets.h"

#include <QLabel>
#include <QPainter>

#include <algorithm>

void TPaintBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (onPaint)
        onPaint(painter);
}

void TPaintBox::mouseDoubleClickEvent(QMouseEvent*)
{
    if (onDblClick)
        onDblClick();
}

TStatusBar::TStatusBar(QWidget* parent, std::initializer_list<PanelLayout> layouts) : QFrame(parent)
{
    int left = 0;
    for (const PanelLayout& layout : layouts) {
        auto* panel = new QLabel(QString::fromUtf8(layout.text), this);
        panel->setObjectName(QString("Panel%1").arg(panels.size()));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setAlignment(layout.alignment | Qt::AlignVCenter);
        panel->setIndent(1);
        panel->setGeometry(left, 0, layout.width, BOTTOM_HEIGHT);
        left += layout.width;
        panels.push_back(panel);
    }
}

void TStatusBar::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    // As on the original desktop, the last panel ends at the bar's edge,
    // so that its right-justified text is never cut off there.
    if (QLabel* last = panels.empty() ? nullptr : panels.back())
        last->setGeometry(last->x(), 0, std::max(0, width() - last->x()), BOTTOM_HEIGHT);
}

QString TStatusBar::panelText(int index) const { return panels.at(static_cast<std::size_t>(index))->text(); }

void TStatusBar::setPanelText(int index, const QString& value)
{
    QLabel* panel = panels.at(static_cast<std::size_t>(index));
    // Laying out and painting a text costs more than the rest of a tick.
    if (panel->text() == value)
        return;
    panel->setText(value);
    // Large counts may not fit a panel: the whole text is a hover away.
    panel->setToolTip(value);
}
