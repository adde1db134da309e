#include "ui/windowmanager.h"

#include <QGuiApplication>
#include <QWidget>
#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace windowmanager {

namespace {

// Motif's hint bits (Xm/MwmUtil.h), which no Debian header outside Motif
// carries.
constexpr std::uint32_t MWM_HINTS_FUNCTIONS = 1u << 0;
constexpr std::uint32_t MWM_HINTS_DECORATIONS = 1u << 1;
constexpr std::uint32_t MWM_FUNC_MOVE = 1u << 2;
constexpr std::uint32_t MWM_DECOR_BORDER = 1u << 1;
constexpr std::uint32_t MWM_DECOR_TITLE = 1u << 3;
constexpr std::uint32_t ALL_DESKTOPS = 0xFFFFFFFFu;

template <typename T> using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

xcb_connection_t* connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    const XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

xcb_window_t rootOf(xcb_connection_t* c) { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }

// A CARDINAL property's first value; nothing when the manager sets none.
std::optional<std::uint32_t> cardinal(xcb_connection_t* c, xcb_window_t window, const char* name)
{
    const XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, atom(c, name), XCB_ATOM_CARDINAL, 0, 1), nullptr),
        &std::free);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return std::nullopt;
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
}

} // namespace

void requestToolWindow(QWidget& window)
{
    xcb_connection_t* c = connection();
    if (!c)
        return;
    const auto id = static_cast<xcb_window_t>(window.winId());
    const std::array<std::uint32_t, 5> motif{MWM_HINTS_FUNCTIONS | MWM_HINTS_DECORATIONS, MWM_FUNC_MOVE,
                                             MWM_DECOR_BORDER | MWM_DECOR_TITLE, 0, 0};
    const xcb_atom_t motifAtom = atom(c, "_MOTIF_WM_HINTS");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, motifAtom, motifAtom, 32, motif.size(), motif.data());
    // The first type a manager knows is the one it uses.
    const std::array<xcb_atom_t, 3> types{atom(c, "_NET_WM_WINDOW_TYPE_TOOLBAR"), atom(c, "_NET_WM_WINDOW_TYPE_UTILITY"),
                                          atom(c, "_NET_WM_WINDOW_TYPE_NORMAL")};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atom(c, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, types.size(),
                        types.data());
    xcb_flush(c);
}

bool isOnCurrentDesktop(const QWidget& window)
{
    xcb_connection_t* c = connection();
    if (!c || !window.internalWinId())
        return true;
    const auto desktop = cardinal(c, static_cast<xcb_window_t>(window.internalWinId()), "_NET_WM_DESKTOP");
    const auto current = cardinal(c, rootOf(c), "_NET_CURRENT_DESKTOP");
    return !desktop || !current || *desktop == ALL_DESKTOPS || *desktop == *current;
}

void moveToCurrentDesktop(QWidget& window)
{
    xcb_connection_t* c = connection();
    if (!c || !window.internalWinId())
        return;
    const auto current = cardinal(c, rootOf(c), "_NET_CURRENT_DESKTOP");
    if (!current)
        return;
    // The request goes to the root window, as the window manager's
    // desktop protocol has it; 1 says an application asks.
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(window.internalWinId());
    message.type = atom(c, "_NET_WM_DESKTOP");
    message.data.data32[0] = *current;
    message.data.data32[1] = 1;
    xcb_send_event(c, 0, rootOf(c), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);
}

} // namespace windowmanager
