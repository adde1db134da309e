#include "xtools.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace xtools {

namespace {
::Display* d(void* handle) { return static_cast<::Display*>(handle); }

// A window that went away between listing and asking must not end the
// program (Xlib's default handler exits).
int ignoreErrors(::Display*, XErrorEvent*) { return 0; }
} // namespace

Rect unite(const Rect& a, const Rect& b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    const int right = std::max(a.x + a.width, b.x + b.width), bottom = std::max(a.y + a.height, b.y + b.height);
    return {left, top, right - left, bottom - top};
}

Display::Display(const std::string& name)
{
    XSetErrorHandler(ignoreErrors);
    handle = XOpenDisplay(name.empty() ? nullptr : name.c_str());
}

Display::~Display()
{
    if (handle)
        XCloseDisplay(d(handle));
}

unsigned long Display::owner(const std::string& prefix)
{
    const std::string selection = prefix + std::to_string(DefaultScreen(d(handle)));
    return XGetSelectionOwner(d(handle), XInternAtom(d(handle), selection.c_str(), False));
}

unsigned long Display::trayOwner() { return owner("_NET_SYSTEM_TRAY_S"); }

bool Display::waitForOwner(const std::string& prefix, double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (owner(prefix) == 0) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

bool Display::waitForTray(double seconds) { return waitForOwner("_NET_SYSTEM_TRAY_S", seconds); }

bool Display::waitForWindowManager(double seconds) { return waitForOwner("WM_S", seconds); }

Rect Display::geometry(unsigned long window)
{
    XWindowAttributes a {};
    if (!XGetWindowAttributes(d(handle), window, &a))
        return {};
    int x = 0, y = 0;
    ::Window child = 0;
    if (!XTranslateCoordinates(d(handle), window, DefaultRootWindow(d(handle)), 0, 0, &x, &y, &child))
        return {};
    return {x, y, a.width, a.height};
}

bool Display::viewable(unsigned long window)
{
    XWindowAttributes a {};
    return XGetWindowAttributes(d(handle), window, &a) && a.map_state == IsViewable;
}

std::vector<unsigned long> Display::popups()
{
    std::vector<unsigned long> found;
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d(handle), DefaultRootWindow(d(handle)), &root, &parent, &children, &count))
        return found;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes a {};
        if (XGetWindowAttributes(d(handle), children[i], &a) && a.map_state == IsViewable && a.override_redirect &&
            a.width > 1 && a.height > 1)
            found.push_back(children[i]);
    }
    if (children)
        XFree(children);
    return found;
}

std::vector<unsigned long> Display::viewableDescendants(unsigned long window)
{
    std::vector<unsigned long> found;
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d(handle), window, &root, &parent, &children, &count))
        return found;
    for (unsigned int i = 0; i < count; ++i) {
        if (!viewable(children[i]))
            continue;
        found.push_back(children[i]);
        for (unsigned long below : viewableDescendants(children[i]))
            found.push_back(below);
    }
    if (children)
        XFree(children);
    return found;
}

std::vector<unsigned long> Display::trayIcons(const std::string& className)
{
    std::vector<unsigned long> found;
    const ::Window root = DefaultRootWindow(d(handle));
    for (unsigned long window : viewableDescendants(root)) {
        XClassHint hint {};
        if (!XGetClassHint(d(handle), window, &hint))
            continue;
        const bool named = (hint.res_name && className == hint.res_name) || (hint.res_class && className == hint.res_class);
        XFree(hint.res_name);
        XFree(hint.res_class);
        ::Window r = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (named && XQueryTree(d(handle), window, &r, &parent, &children, &count) && parent != root)
            found.push_back(window);
        if (children)
            XFree(children);
    }
    return found;
}

bool Display::close(unsigned long window)
{
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(d(handle), "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(d(handle), "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(d(handle), window, False, NoEventMask, &event) != 0;
    XSync(d(handle), False);
    return sent;
}

} // namespace xtools
