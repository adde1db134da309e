#include "ui/meterwidgets.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>
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

namespace {

// The one run of glyphs of a text laid out alone, and its width; nothing
// where the text takes more than one run (another font, another direction).
std::optional<std::pair<QGlyphRun, qreal>> shapedAlone(const QString& text, const QFont& font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.size() != 1)
        return std::nullopt;
    return std::make_pair(runs.front(), line.naturalTextWidth());
}

} // namespace

const std::optional<TGlyphCache::Glyph>& TGlyphCache::glyphOf(char16_t c)
{
    auto found = glyphs.find(c);
    if (found != glyphs.end())
        return found->second;
    std::optional<Glyph> glyph;
    const auto alone = shapedAlone(QString(QChar(c)), font);
    if (alone && alone->first.glyphIndexes().size() == 1)
        glyph = Glyph{alone->first.glyphIndexes().front(), alone->first.positions().front(), alone->second};
    return glyphs.emplace(c, glyph).first->second;
}

const std::optional<qreal>& TGlyphCache::kerning(char16_t a, char16_t b)
{
    const std::uint32_t key = std::uint32_t(a) << 16 | b;
    auto found = pairs.find(key);
    if (found != pairs.end())
        return found->second;
    const std::optional<Glyph>& first = glyphOf(a);
    const std::optional<Glyph>& second = glyphOf(b);
    std::optional<qreal> kern;
    if (first && second) {
        const QChar pair[] = {QChar(a), QChar(b)};
        const auto both = shapedAlone(QString(pair, 2), font);
        if (both && both->first.glyphIndexes() == QList<quint32>({first->index, second->index})) {
            const QList<QPointF> at = both->first.positions();
            const qreal shift = at[1].x() - second->position.x() - first->advance;
            if (at[0] == first->position && at[1].y() == second->position.y() &&
                both->second == first->advance + shift + second->advance)
                kern = shift;
        }
    }
    return pairs.emplace(key, kern).first->second;
}

void TGlyphCache::learn(const QString& text)
{
    // Each new character beside every one met, itself included, on both
    // sides: "c a c b c c c" holds c's pairs with a, b and c.
    QString walk;
    for (QChar c : text) {
        if (alphabet.contains(c) || !glyphOf(c.unicode()))
            continue;
        alphabet += c;
        walk += c;
        for (QChar other : alphabet)
            walk += QString(other) + c;
    }
    if (walk.isEmpty())
        return;
    const auto shaped = shapedAlone(walk, font);
    if (!shaped || shaped->first.glyphIndexes().size() != walk.size())
        return; // a ligature or another font: the pairs are shaped one by one
    const QList<quint32> indexes = shaped->first.glyphIndexes();
    const QList<QPointF> at = shaped->first.positions();
    for (qsizetype i = 0; i < walk.size(); ++i) {
        const Glyph& glyph = *glyphOf(walk[i].unicode());
        if (indexes[i] != glyph.index || at[i].y() != glyph.position.y())
            return;
    }
    for (qsizetype i = 1; i < walk.size(); ++i) {
        const Glyph& first = *glyphOf(walk[i - 1].unicode());
        const Glyph& second = *glyphOf(walk[i].unicode());
        const qreal shift = (at[i].x() - second.position.x()) - (at[i - 1].x() - first.position.x()) - first.advance;
        pairs[std::uint32_t(walk[i - 1].unicode()) << 16 | walk[i].unicode()] = shift;
    }
}

std::optional<TGlyphCache::Line> TGlyphCache::layOut(const QString& text)
{
    learn(text);
    QList<quint32> indexes;
    QList<QPointF> positions;
    qreal x = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const std::optional<Glyph>& glyph = glyphOf(c);
        if (!glyph)
            return std::nullopt;
        if (i > 0) {
            const std::optional<qreal>& kern = kerning(text[i - 1].unicode(), c);
            if (!kern)
                return std::nullopt;
            x += *kern;
        }
        indexes << glyph->index;
        positions << glyph->position + QPointF(x, 0);
        x += glyph->advance;
    }
    if (!raw)
        raw = QRawFont::fromFont(font);
    QGlyphRun run;
    run.setRawFont(*raw);
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    return Line{run, x};
}

TStatusPanel::TStatusPanel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    shaped.setTextFormat(Qt::PlainText);
    // The window's background beneath is painted here: a new text repaints
    // this panel alone, not the bar and the window under it as well.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TGlyphCache& TStatusPanel::glyphCache()
{
    if (!cache || cache->layoutFont() != font())
        cache.emplace(font());
    return *cache;
}

void TStatusPanel::fit(const QString& whole)
{
    QString shown = whole;
    cached = glyphCache().layOut(shown);
    const int room = std::max(0, contentsRect().width() - 2 * indent());
    if (!cached || cached->width > room) {
        shaped.setText(whole);
        shaped.prepare(QTransform(), font());
        if (shaped.size().width() > room) {
            shown = fontMetrics().elidedText(whole, Qt::ElideRight, room);
            shaped.setText(shown);
            shaped.prepare(QTransform(), font());
        }
        cached.reset();
    }
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
    const qreal width = cached ? cached->width : shaped.size().width();
    const QPointF topLeft((align & Qt::AlignRight) ? room.right() - width : room.left(),
                          room.top() + (room.height() - height) / 2 + leading);
    painter.setPen(palette().color(foregroundRole()));
    if (cached)
        painter.drawGlyphRun(topLeft, cached->glyphs);
    else
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

// A hidden bar only learns a text's new glyphs: fitting it and repainting
// wait for the bar's showing.
void TStatusBar::showFitted(std::size_t index)
{
    unfitted[index] = !isVisible();
    if (unfitted[index])
        panels[index]->learn(texts[index]);
    else
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
