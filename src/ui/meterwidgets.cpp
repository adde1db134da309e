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
        texts.push_back(panel->text());
    }
}

void TStatusBar::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    // As on the original desktop, the last panel ends at the bar's edge,
    // so that its right-justified text is never cut off there.
    if (QLabel* last = panels.empty() ? nullptr : panels.back())
        last->setGeometry(last->x(), 0, std::max(0, width() - last->x()), BOTTOM_HEIGHT);
    for (std::size_t i = 0; i < panels.size(); ++i)
        showFitted(i);
}

QString TStatusBar::panelText(int index) const { return texts.at(static_cast<std::size_t>(index)); }

void TStatusBar::setPanelText(int index, const QString& value)
{
    const auto i = static_cast<std::size_t>(index);
    // Laying out and painting a text costs more than the rest of a tick.
    if (texts.at(i) == value)
        return;
    texts[i] = value;
    // Large counts may not fit a panel: the whole text is a hover away.
    panels[i]->setToolTip(value);
    showFitted(i);
}

void TStatusBar::showFitted(std::size_t index)
{
    QLabel* panel = panels[index];
    const int room = panel->contentsRect().width() - 2 * panel->indent();
    const QString shown = panel->fontMetrics().elidedText(texts[index], Qt::ElideRight, std::max(0, room));
    if (panel->text() != shown)
        panel->setText(shown);
}
