// Draws the monitor's icons and the splash picture and writes them into the
// source tree given as the only argument:
//   src/ui/resources/*.png   tray/window icon, menu and button glyphs
//   lib/splash/splash.jpg         the picture libsplash.so carries
//   tests/fakes/fake_splash.jpg   the small picture of the test libraries
// Run through the build target "artwork"; commit what it writes.
#include "splashlayout.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <cstdio>
#include <functional>

namespace {

const QColor navy(0x1f, 0x3b, 0x57);
const QColor linkBlue(0x1a, 0x5f, 0xb4);

using Drawing = std::function<void(QPainter&)>;

// A transparent square image of the size, drawn in a design grid of
// `grid` units so that every size comes from one drawing.
QImage drawn(int size, double grid, const Drawing& draw)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / grid, size / grid);
    draw(painter);
    return image;
}

// The gauge: a dark dial with a green-amber-red scale and a white needle.
// Small sizes get a bolder scale and needle so that they stay readable.
void drawGauge(QPainter& p, bool small)
{
    p.setPen(Qt::NoPen);
    p.setBrush(navy);
    p.drawEllipse(QRectF(4, 4, 248, 248));

    const double scaleWidth = small ? 44 : 30;
    const QRectF scaleBox(128 - 86, 128 - 86, 172, 172);
    const struct {
        QColor color;
        int start, sweep; // degrees, counter-clockwise from three o'clock
    } segments[] = {{QColor(0x3c, 0xb3, 0x71), 215, -100}, {QColor(0xf2, 0xb1, 0x34), 115, -70},
                    {QColor(0xe0, 0x49, 0x3e), 45, -70}};
    for (const auto& segment : segments) {
        p.setPen(QPen(segment.color, scaleWidth, Qt::SolidLine, Qt::FlatCap));
        p.drawArc(scaleBox, segment.start * 16, segment.sweep * 16);
    }

    p.setPen(QPen(Qt::white, small ? 30 : 18, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(128, 136), QPointF(182, 74));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(128, 136), small ? 26 : 20, small ? 26 : 20);
}

QImage gauge(int size)
{
    return drawn(size, 256, [size](QPainter& p) { drawGauge(p, size <= 24); });
}

// The connection menu's button glyph: a down-pointing triangle, 15 units.
void drawConMenu(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x33, 0x33, 0x33));
    p.drawPolygon(QPolygonF({QPointF(3, 5.5), QPointF(12, 5.5), QPointF(7.5, 10.5)}));
}

// Exit: a door with an arrow leaving it, 16 units.
void drawExit(QPainter& p)
{
    p.setPen(QPen(QColor(0x6b, 0x4f, 0x2a), 1.5));
    p.setBrush(QColor(0xc8, 0x9b, 0x5e));
    p.drawRect(QRectF(2, 1.75, 7.5, 12.5));
    p.setPen(QPen(QColor(0xc0, 0x2b, 0x2b), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(7, 8), QPointF(14, 8));
    p.drawPolyline(QPolygonF({QPointF(11.5, 5), QPointF(14.5, 8), QPointF(11.5, 11)}));
}

// Totals: three bars on a base line, 16 units.
void drawTotals(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2a, 0x6f, 0xc9));
    p.drawRect(QRectF(2, 8, 3, 6));
    p.drawRect(QRectF(6.5, 3, 3, 11));
    p.drawRect(QRectF(11, 6, 3, 8));
    p.setBrush(QColor(0x44, 0x44, 0x44));
    p.drawRect(QRectF(1, 14, 14, 1.25));
}

// The paging arrows of the totals window's toolbars, 12 units: a triangle
// pointing left or right, with a bar before it for the first and last page.
void drawArrow(QPainter& p, bool right, bool toEnd)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1a, 0x5f, 0xb4));
    const double tip = right ? 9.5 : 2.5;
    const double base = right ? 4 : 8;
    const double shift = toEnd ? (right ? -1.5 : 1.5) : 0;
    p.drawPolygon(QPolygonF({QPointF(base + shift, 1.5), QPointF(tip + shift, 6), QPointF(base + shift, 10.5)}));
    if (toEnd)
        p.drawRect(QRectF(right ? 9 : 1.5, 1.5, 1.5, 9));
}

QFont font(int pixelSize, bool bold = false)
{
    QFont f("DejaVu Sans");
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

// Fails the run when a text does not fit its place, rather than clipping it.
bool fits(const QFont& f, const QString& text, int width)
{
    const int needed = QFontMetrics(f).horizontalAdvance(text);
    if (needed <= width)
        return true;
    std::fprintf(stderr, "\"%s\" needs %d pixels, has %d\n", qPrintable(text), needed, width);
    return false;
}

bool drawLink(QPainter& p, const splashlayout::Rect& place, const QString& text)
{
    QFont f = font(13);
    f.setUnderline(true);
    if (!fits(f, text, place.width))
        return false;
    p.setFont(f);
    p.setPen(linkBlue);
    p.drawText(QRect(place.left, place.top, place.width, place.height), Qt::AlignLeft | Qt::AlignVCenter, text);
    return true;
}

bool drawSplash(QImage& image)
{
    const int w = splashlayout::pictureWidth;
    const int h = splashlayout::pictureHeight;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient background(0, 0, 0, h);
    background.setColorAt(0, QColor(0xf7, 0xfb, 0xff));
    background.setColorAt(1, QColor(0xd6, 0xe4, 0xf2));
    p.fillRect(image.rect(), background);
    p.setPen(QColor(0x5b, 0x7a, 0x99));
    p.drawRect(QRectF(0.5, 0.5, w - 1, h - 1));

    p.drawImage(QPoint(14, 16), gauge(56));

    p.setPen(navy);
    p.setFont(font(30, true));
    p.drawText(QPoint(80, 48), "Linktally");
    p.setPen(QColor(0x35, 0x50, 0x6b));
    p.setFont(font(12));
    p.drawText(QPoint(82, 66), "Version 1.3.1");

    const QString slogan = "traffic meter for metered links";
    const QFont sloganFont = font(12);
    if (!fits(sloganFont, slogan, w - 32))
        return false;
    p.setPen(navy);
    p.setFont(sloganFont);
    p.drawText(QRect(16, 86, w - 32, 20), Qt::AlignLeft | Qt::AlignVCenter, slogan);

    p.setPen(QPen(QColor(0x9f, 0xb6, 0xcc), 1));
    p.drawLine(QPointF(16, 114.5), QPointF(w - 16, 114.5));
    p.setPen(QColor(0x5b, 0x7a, 0x99));
    p.setFont(font(11));
    p.drawText(QPoint(16, 134), "Tarnwick Software");

    return drawLink(p, splashlayout::readMe, "Read me") && drawLink(p, splashlayout::documents, "Documents");
}

// The test libraries' picture: small and of a size no real splash has.
QImage fakeSplash()
{
    QImage image(60, 40, QImage::Format_RGB32);
    image.fill(QColor(0xd6, 0xe4, 0xf2));
    QPainter p(&image);
    p.fillRect(QRect(0, 0, 30, 40), navy);
    return image;
}

bool save(const QImage& image, const QString& path, const char* format, int quality = -1)
{
    if (image.save(path, format, quality))
        return true;
    std::fprintf(stderr, "Can't write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_artwork <source folder>\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString icons = root + "/src/ui/resources/";

    bool ok = true;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        ok = save(gauge(size), icons + QString("linktally-%1.png").arg(size), "PNG") && ok;
    ok = save(drawn(15, 15, drawConMenu), icons + "conmenu.png", "PNG") && ok;
    ok = save(drawn(30, 15, drawConMenu), icons + "conmenu@2x.png", "PNG") && ok;
    ok = save(drawn(16, 16, drawExit), icons + "exit.png", "PNG") && ok;
    ok = save(drawn(32, 16, drawExit), icons + "exit@2x.png", "PNG") && ok;
    ok = save(drawn(16, 16, drawTotals), icons + "totals.png", "PNG") && ok;
    ok = save(drawn(32, 16, drawTotals), icons + "totals@2x.png", "PNG") && ok;
    const struct {
        const char* name;
        bool right, toEnd;
    } arrows[] = {{"first", false, true}, {"prev", false, false}, {"next", true, false}, {"last", true, true}};
    for (const auto& arrow : arrows) {
        const Drawing draw = [&arrow](QPainter& p) { drawArrow(p, arrow.right, arrow.toEnd); };
        ok = save(drawn(12, 12, draw), icons + arrow.name + ".png", "PNG") && ok;
        ok = save(drawn(24, 12, draw), icons + arrow.name + "@2x.png", "PNG") && ok;
    }

    QImage splash(splashlayout::pictureWidth, splashlayout::pictureHeight, QImage::Format_RGB32);
    ok = drawSplash(splash) && save(splash, root + "/lib/splash/splash.jpg", "JPG", 92) && ok;
    ok = save(fakeSplash(), root + "/tests/fakes/fake_splash.jpg", "JPG", 90) && ok;
    return ok ? 0 : 1;
}
