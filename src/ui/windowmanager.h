// What the meter asks of an X11 window manager beyond Qt's window flags:
// a tool window's border without buttons, and on which virtual desktop it
// stands. On any other platform (Wayland without XWayland, the tests'
// offscreen one) every call is a no-op and the window counts as present.
#pragma once

class QWidget;

namespace windowmanager {

// Asks for a border with a title and nothing else to click: Motif hints
// that allow moving only, and a tool window's type. Qt's flags cannot say
// "title without buttons" (they leave the decorations to the manager), and
// some managers (openbox) only drop the minimise and maximise buttons for
// a toolbar's type. Call before the window is mapped.
void requestToolWindow(QWidget& window);

// Whether the window is on the desktop the user looks at (or on all).
bool isOnCurrentDesktop(const QWidget& window);

// Asks the window manager to put the window on the current desktop.
void moveToCurrentDesktop(QWidget& window);

} // namespace windowmanager
