// What the window manager offers on the wizard's windows besides moving them.
#include "wizard/window_kind.h"

#include <QColor>
#include <QGuiApplication>
#include <QWidget>

#ifdef PELMO_HAVE_XCB
#include <xcb/xcb.h>

#include <QWindow>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#endif

namespace pelmo {
namespace {

#ifdef PELMO_HAVE_XCB
xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}
#endif

}  // namespace

void OfferOnly(QWidget& window, WindowKind kind)
{
#ifdef PELMO_HAVE_XCB
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* connection = x11->connection();
    // A tool bar is never minimised or maximised; a splash window is only moved
    // (and has no frame of the window manager's).
    const char* first = kind == WindowKind::Progress ? "_NET_WM_WINDOW_TYPE_SPLASH" : "_NET_WM_WINDOW_TYPE_TOOLBAR";
    const xcb_atom_t types[] = {Atom(connection, first), Atom(connection, "_NET_WM_WINDOW_TYPE_DIALOG")};
    const auto id = static_cast<xcb_window_t>(window.winId());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, Atom(connection, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM,
                        32, 2, types);
    xcb_flush(connection);
#else
    (void)window;
    (void)kind;
#endif
}

void ClearTo(QWidget& window, const QColor& colour)
{
#ifdef PELMO_HAVE_XCB
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    const auto id = static_cast<xcb_window_t>(window.winId());
    // A true-colour visual without alpha takes the colour as its pixel value.
    if (window.windowHandle()->format().hasAlpha())
        return;
    const std::uint32_t pixel = colour.rgb() & 0xffffffu;
    xcb_change_window_attributes(x11->connection(), id, XCB_CW_BACK_PIXEL, &pixel);
    xcb_flush(x11->connection());
#else
    (void)window;
    (void)colour;
#endif
}

}  // namespace pelmo
