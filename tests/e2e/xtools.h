// Small X11 queries for the desktop end-to-end tests and their helper
// programs (xshot, xtraywait): who owns the system tray, where a window is.
#pragma once

#include <string>
#include <vector>

namespace xtools {

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
};

// The smallest rectangle holding both.
Rect unite(const Rect& a, const Rect& b);

// One connection to a display (DISPLAY when name is empty).
class Display {
public:
    explicit Display(const std::string& name = "");
    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;
    bool ok() const { return handle != nullptr; }

    // The window that owns _NET_SYSTEM_TRAY_S<screen>, or 0.
    unsigned long trayOwner();
    // Waits up to seconds for a tray owner.
    bool waitForTray(double seconds);
    // Waits up to seconds for a window manager (the owner of WM_S<screen>).
    bool waitForWindowManager(double seconds);
    // A window's rectangle on the root window; empty when it is gone.
    Rect geometry(unsigned long window);
    bool viewable(unsigned long window);
    // The mapped override-redirect top-level windows (open menus, tooltips).
    std::vector<unsigned long> popups();
    // The viewable windows below a window (the tray icons below trayer's
    // panel are children of its socket windows).
    std::vector<unsigned long> viewableDescendants(unsigned long window);
    // The viewable windows of a program (WM_CLASS instance or class) that a
    // tray host embedded: the tray icons, reparented away from the root.
    std::vector<unsigned long> trayIcons(const std::string& className);
    // Asks a window to close as a window manager would (WM_DELETE_WINDOW).
    bool close(unsigned long window);

private:
    // The owner of the selection <prefix><screen>, or 0.
    unsigned long owner(const std::string& prefix);
    bool waitForOwner(const std::string& prefix, double seconds);
    void* handle = nullptr;
};

} // namespace xtools
