// xtraywait [SECONDS] [--icon CLASS]: waits until the display's system tray
// has an owner (a tray host such as trayer took _NET_SYSTEM_TRAY_S0) and,
// with --icon, until it embedded a tray icon of the program CLASS, whose
// rectangle it then prints as "X Y WIDTH HEIGHT". Exit status 0 when so,
// 1 when not in time, 2 when the display cannot be opened.
#include "xtools.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    double seconds = 10;
    std::string icon;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            std::puts("usage: xtraywait [SECONDS] [--icon CLASS]   (default 10 s; the display is $DISPLAY)\n"
                      "Waits for a system tray and, with --icon, for the tray icon of the program CLASS\n"
                      "(printed as X Y WIDTH HEIGHT). Exit status: 0 there, 1 not in time, 2 no display.");
            return 0;
        }
        if (a == "--icon" && i + 1 < argc)
            icon = argv[++i];
        else if (!a.empty() && a[0] != '-')
            seconds = std::atof(a.c_str());
        else {
            std::fprintf(stderr, "xtraywait: unknown argument %s (see --help)\n", a.c_str());
            return 2;
        }
    }
    xtools::Display display;
    if (!display.ok()) {
        std::fprintf(stderr, "xtraywait: cannot open the display '%s'\n", std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
        return 2;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    if (!display.waitForTray(seconds)) {
        std::fprintf(stderr, "xtraywait: no system tray after %g s\n", seconds);
        return 1;
    }
    if (icon.empty())
        return 0;
    for (;;) {
        for (unsigned long window : display.trayIcons(icon)) {
            const xtools::Rect r = display.geometry(window);
            if (r.width > 1 && r.height > 1) {
                std::printf("%d %d %d %d\n", r.x, r.y, r.width, r.height);
                return 0;
            }
        }
        if (std::chrono::steady_clock::now() >= end) {
            std::fprintf(stderr, "xtraywait: no tray icon of %s after %g s\n", icon.c_str(), seconds);
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}
