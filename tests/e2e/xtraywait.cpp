// xtraywait [SECONDS]: waits until the display's system tray has an owner
// (a tray host such as trayer took _NET_SYSTEM_TRAY_S0). Exit status 0 when
// it has, 1 when it had none in time, 2 when the display cannot be opened.
#include "xtools.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "-h" || first == "--help") {
        std::puts("usage: xtraywait [SECONDS]   (default 10; the display is $DISPLAY)\n"
                  "Exit status: 0 the tray has an owner, 1 none in time, 2 no display.");
        return 0;
    }
    const double seconds = first.empty() ? 10 : std::atof(first.c_str());
    xtools::Display display;
    if (!display.ok()) {
        std::fprintf(stderr, "xtraywait: cannot open the display '%s'\n", std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
        return 2;
    }
    if (!display.waitForTray(seconds)) {
        std::fprintf(stderr, "xtraywait: no system tray after %g s\n", seconds);
        return 1;
    }
    return 0;
}
