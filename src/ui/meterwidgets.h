// The meter's own small controls: a box that paints through its owner, a
// status bar of fixed-width panels, and an icon drawn in many sizes.
#pragma once

#include <QFont>
#include <QFrame>
#include <QGlyphRun>
#include <QIcon>
#include <QIconEngine>
#include <QRawFont>
#include <QLabel>
#include <QStaticText>
#include <QWidget>

#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

class QPainter;

// The height of the meter's bottom row: its status bar and the connection
// button.
inline constexpr int BOTTOM_HEIGHT = 19;

// A control that paints itself through its owner.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* parent) : QWidget(parent) {}
    std::function<void(QPainter&)> onPaint;
    std::function<void()> onDblClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// The glyphs of one font, each character's shaped once and the kerning of
// its pairs with the characters met before learnt in one shaping, so that
// a text is laid out by adding advances and kerning.
// Shaping a text costs more than the rest of a meter's tick; the sum equals
// it wherever the font shapes each pair of the text into the two
// characters' own glyphs (no ligature, no other font); a pair the walk
// cannot tell is shaped on its own.
class TGlyphCache {
public:
    explicit TGlyphCache(const QFont& font) : font(font) {}

    struct Line {
        QGlyphRun glyphs; // positioned as a layout of the text would: x from 0, y on the baseline
        qreal width;
    };
    const QFont& layoutFont() const { return font; }
    // The text from cached glyphs, or nothing where it must be shaped whole.
    std::optional<Line> layOut(const QString& text);
    // Learns the glyphs of the text's new characters and their pairs with
    // those met before, in one shaping.
    void learn(const QString& text);

private:
    struct Glyph {
        quint32 index;
        QPointF position; // alone in a layout
        qreal advance;
    };
    const std::optional<Glyph>& glyphOf(char16_t c);
    // How much nearer b's glyph is to a's than a's advance, or nothing
    // where the pair is not the two glyphs.
    const std::optional<qreal>& kerning(char16_t a, char16_t b);

    QFont font;
    std::unordered_map<char16_t, std::optional<Glyph>> glyphs;
    std::unordered_map<std::uint32_t, std::optional<qreal>> pairs; // by a << 16 | b
    QString alphabet; // the characters whose pairs are learnt, each once
    std::optional<QRawFont> raw;
};

// A panel of the status bar: a sunken label whose text is laid out once a
// change (mostly from cached glyphs) and painted from that layout, where a
// label would shape it again at every paint.
class TStatusPanel : public QLabel {
    Q_OBJECT
public:
    TStatusPanel(const QString& text, QWidget* parent);
    // Shows the whole text, or where the panel is too narrow its start and
    // an ellipsis: a cut number must never read as another one.
    void fit(const QString& whole);
    // What fit will need of a text, learnt while nothing is shown.
    void learn(const QString& text) { glyphCache().learn(text); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TGlyphCache& glyphCache();

    std::optional<TGlyphCache> cache;
    // The text shown: from cached glyphs, else shaped whole.
    std::optional<TGlyphCache::Line> cached;
    QStaticText shaped;
};

// A status bar of fixed-width panels. While it is hidden a panel's text is
// only kept (and its new glyphs learnt): it is fitted and laid out when the
// bar shows.
class TStatusBar : public QFrame {
    Q_OBJECT
public:
    struct PanelLayout {
        const char* text;
        int width;
        Qt::Alignment alignment;
    };
    TStatusBar(QWidget* parent, std::initializer_list<PanelLayout> panels);
    QString panelText(int index) const;
    void setPanelText(int index, const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void showFitted(std::size_t index);

    std::vector<TStatusPanel*> panels;
    std::vector<QString> texts;   // whole, as set
    std::vector<bool> unfitted;   // set while hidden, not fitted yet
};

// An icon of one square picture per size, each read when first asked for:
// a tray icon of eight sizes is painted at one or two of them, and all
// eight decoded would take 360 KB. It paints as an icon of all the files
// would: from the smallest picture at least as large as asked, else from
// the largest, scaled down to fit.
class TSizedIconEngine : public QIconEngine {
public:
    // The pictures by their side, in pixels.
    explicit TSizedIconEngine(std::map<int, QString> files) : files(std::move(files)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override { return new TSizedIconEngine(files); }
    bool isNull() override { return files.empty(); }

private:
    // The icon of the one picture that serves a size.
    QIcon& pictureFor(const QSize& size);

    std::map<int, QString> files;
    std::map<int, QIcon> read; // by side, as asked for
};
