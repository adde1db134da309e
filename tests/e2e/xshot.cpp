// xshot OUT.png [--window ID]... [--rect X,Y,W,H]... [--popups] [--margin N]:
// saves the X screen, or the part of it that holds the given windows and
// rectangles (and with --popups the open menus), as PNG. ImageMagick is not among the project's packages;
// Qt, which the monitor needs anyway, grabs and writes the picture.
#include "xtools.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int usage(FILE* to, int status)
{
    std::fputs("usage: xshot OUT.png [--window ID]... [--rect X,Y,W,H]... [--popups] [--margin N]\n"
               "  --window ID  crop to this window (decimal or 0x hex; repeatable)\n"
               "  --rect X,Y,W,H  and to this part of the screen (repeatable)\n"
               "  --popups     include the open menus (override-redirect windows)\n"
               "  --margin N   pixels around the crop (default 8)\n"
               "Without --window, --rect or --popups the whole screen is saved.\n",
               to);
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    std::string out;
    std::vector<unsigned long> windows;
    std::vector<xtools::Rect> rects;
    bool popups = false;
    int margin = 8;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help")
            return usage(stdout, 0);
        if (a == "--window" && i + 1 < argc)
            windows.push_back(std::strtoul(argv[++i], nullptr, 0));
        else if (a == "--rect" && i + 1 < argc) {
            xtools::Rect r;
            if (std::sscanf(argv[++i], "%d,%d,%d,%d", &r.x, &r.y, &r.width, &r.height) != 4 || r.empty())
                return usage(stderr, 2);
            rects.push_back(r);
        } else if (a == "--popups")
            popups = true;
        else if (a == "--margin" && i + 1 < argc)
            margin = std::atoi(argv[++i]);
        else if (out.empty() && !a.starts_with("-"))
            out = a;
        else
            return usage(stderr, 2);
    }
    if (out.empty())
        return usage(stderr, 2);

    // The grab needs the X server itself, also where a Wayland session is.
    if (qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    xtools::Display display;
    if (!display.ok()) {
        std::fprintf(stderr, "xshot: cannot open the display\n");
        return 2;
    }
    xtools::Rect area;
    for (const xtools::Rect& r : rects)
        area = xtools::unite(area, r);
    for (unsigned long window : windows) {
        const xtools::Rect r = display.geometry(window);
        if (r.empty()) {
            std::fprintf(stderr, "xshot: no window 0x%lx\n", window);
            return 1;
        }
        area = xtools::unite(area, r);
    }
    if (popups)
        for (unsigned long window : display.popups())
            area = xtools::unite(area, display.geometry(window));

    QScreen* screen = QGuiApplication::primaryScreen();
    QImage image = screen->grabWindow(0).toImage();
    if (image.isNull()) {
        std::fprintf(stderr, "xshot: the screen could not be grabbed\n");
        return 1;
    }
    if (!area.empty()) {
        const QRect crop = QRect(area.x - margin, area.y - margin, area.width + 2 * margin, area.height + 2 * margin)
                               .intersected(image.rect());
        image = image.copy(crop);
    }
    if (!image.save(QString::fromStdString(out), "PNG")) {
        std::fprintf(stderr, "xshot: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s %dx%d\n", out.c_str(), image.width(), image.height());
    return 0;
}
