#include "ui/meterwidgets.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QtMath>
#include <QStyle>

#include <algorithm>
#include <iterator>

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

TStatusPanel::TStatusPanel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    shaped.setTextFormat(Qt::PlainText);
    // The window's background beneath is painted here: a new text repaints
    // this panel alone, not the bar and the window under it as well.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TStatusPanel::fit(const QString& whole)
{
    const int room = std::max(0, contentsRect().width() - 2 * indent());
    QString shown = whole;
    if (fontMetrics().horizontalAdvance(whole) > room)
        shown = fontMetrics().elidedText(whole, Qt::ElideRight, room);
    // Shaped here, once a change, rather than at every paint.
    shaped.setText(shown);
    shaped.prepare(QTransform(), font());
    if (text() != shown)
        setText(shown);
}

// Where a label draws its plain text: within the contents, indented on the
// side it is aligned to, centred vertically as one line below the font's
// leading, on a whole pixel.
void TStatusPanel::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().window());
    // A new text repaints the contents only.
    if (!contentsRect().contains(event->rect()))
        drawFrame(&painter);
    if (text().isEmpty())
        return;
    const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
    QRectF room = contentsRect();
    if (align & Qt::AlignLeft)
        room.setLeft(room.left() + indent());
    if (align & Qt::AlignRight)
        room.setRight(room.right() - indent());
    const QFontMetricsF metrics(font());
    const int leading = qCeil(metrics.leading());
    const qreal height = leading + metrics.ascent() + metrics.descent();
    const qreal width = shaped.size().width();
    const QPointF topLeft((align & Qt::AlignRight) ? room.right() - width : room.left(),
                          room.top() + (room.height() - height) / 2 + leading);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawStaticText(topLeft, shaped);
}

TStatusBar::TStatusBar(QWidget* parent, std::initializer_list<PanelLayout> layouts) : QFrame(parent)
{
    int left = 0;
    for (const PanelLayout& layout : layouts) {
        auto* panel = new TStatusPanel(QString::fromUtf8(layout.text), this);
        panel->setObjectName(QString("Panel%1").arg(panels.size()));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setAlignment(layout.alignment | Qt::AlignVCenter);
        panel->setIndent(1);
        // Of a fixed size, a panel's new text asks its bar for no new layout.
        panel->setFixedSize(layout.width, BOTTOM_HEIGHT);
        panel->move(left, 0);
        left += layout.width;
        panels.push_back(panel);
        texts.push_back(panel->text());
        unfitted.push_back(true);
    }
}

void TStatusBar::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    // As on the original desktop, the last panel ends at the bar's edge,
    // so that its right-justified text is never cut off there.
    if (QLabel* last = panels.empty() ? nullptr : panels.back())
        last->setFixedSize(std::max(0, width() - last->x()), BOTTOM_HEIGHT);
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

void TStatusBar::showEvent(QShowEvent* event)
{
    QFrame::showEvent(event);
    for (std::size_t i = 0; i < panels.size(); ++i)
        if (unfitted[i])
            showFitted(i);
}

// A hidden bar only keeps a text: fitting it and repainting wait for the
// bar's showing.
void TStatusBar::showFitted(std::size_t index)
{
    unfitted[index] = !isVisible();
    if (!unfitted[index])
        panels[index]->fit(texts[index]);
}

QIcon& TSizedIconEngine::pictureFor(const QSize& size)
{
    // As an icon compares its pictures: by area.
    const long long wanted = static_cast<long long>(size.width()) * size.height();
    auto chosen = std::find_if(files.begin(), files.end(),
                               [wanted](const auto& file) { return 1LL * file.first * file.first >= wanted; });
    if (chosen == files.end())
        chosen = std::prev(chosen);
    auto found = read.find(chosen->first);
    if (found == read.end())
        found = read.emplace(chosen->first, QIcon(chosen->second)).first;
    return found->second;
}

void TSizedIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state)
{
    if (files.empty())
        return;
    const qreal scale = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    pictureFor(rect.size() * scale).paint(painter, rect, Qt::AlignCenter, mode, state);
}

QSize TSizedIconEngine::actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    return files.empty() ? QSize() : pictureFor(size).actualSize(size, mode, state);
}

QPixmap TSizedIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    return files.empty() ? QPixmap() : pictureFor(size).pixmap(size, mode, state);
}

QList<QSize> TSizedIconEngine::availableSizes(QIcon::Mode, QIcon::State)
{
    QList<QSize> sizes;
    for (const auto& [side, file] : files)
        sizes << QSize(side, side);
    return sizes;
}
