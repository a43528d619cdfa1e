// What the window manager offers on the wizard's windows besides moving them.
#include "wizard/window_kind.h"

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QWidget>

#ifdef PELMO_HAVE_XCB
#include <xcb/xcb.h>

#include <QWindow>

#include <algorithm>
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

// The X connection, when the program runs on X; none elsewhere (Wayland, offscreen).
xcb_connection_t* X11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The connection when the window's background can be set as its pixels: a
// true-colour visual without alpha takes a colour as its pixel value.
xcb_connection_t* OpaqueWindowConnection(QWidget& window)
{
    xcb_connection_t* connection = X11Connection();
    if (!connection)
        return nullptr;
    window.winId();  // makes the native window, and with it the handle asked next
    return window.windowHandle()->format().hasAlpha() ? nullptr : connection;
}
#endif

}  // namespace

void OfferOnly(QWidget& window, WindowKind kind)
{
#ifdef PELMO_HAVE_XCB
    xcb_connection_t* connection = X11Connection();
    if (!connection)
        return;
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
    xcb_connection_t* connection = OpaqueWindowConnection(window);
    if (!connection)
        return;
    const std::uint32_t pixel = colour.rgb() & 0xffffffu;
    xcb_change_window_attributes(connection, static_cast<xcb_window_t>(window.winId()), XCB_CW_BACK_PIXEL, &pixel);
    xcb_flush(connection);
#else
    (void)window;
    (void)colour;
#endif
}

void ClearTo(QWidget& window, const QImage& picture)
{
#ifdef PELMO_HAVE_XCB
    xcb_connection_t* connection = picture.isNull() ? nullptr : OpaqueWindowConnection(window);
    if (!connection)
        return;
    const auto id = static_cast<xcb_window_t>(window.winId());
    // 32 bits a pixel, blue first, as an X server of depth 24 keeps them.
    const QImage pixels = picture.convertToFormat(QImage::Format_RGB32);
    const xcb_pixmap_t pixmap = xcb_generate_id(connection);
    xcb_create_pixmap(connection, 24, pixmap, id, static_cast<std::uint16_t>(pixels.width()),
                      static_cast<std::uint16_t>(pixels.height()));
    const xcb_gcontext_t gc = xcb_generate_id(connection);
    xcb_create_gc(connection, gc, pixmap, 0, nullptr);
    // In bands that each fit one request.
    const std::uint32_t maxBytes = xcb_get_maximum_request_length(connection) * 4 - 64;
    const int bandRows = std::max<int>(1, static_cast<int>(maxBytes / pixels.bytesPerLine()));
    for (int top = 0; top < pixels.height(); top += bandRows) {
        const int rows = std::min(bandRows, pixels.height() - top);
        xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, static_cast<std::uint16_t>(pixels.width()),
                      static_cast<std::uint16_t>(rows), 0, static_cast<std::int16_t>(top), 0, 24,
                      static_cast<std::uint32_t>(rows * pixels.bytesPerLine()), pixels.constScanLine(top));
    }
    xcb_change_window_attributes(connection, id, XCB_CW_BACK_PIXMAP, &pixmap);
    // The window keeps the picture; the server frees it with the window.
    xcb_free_pixmap(connection, pixmap);
    xcb_free_gc(connection, gc);
    xcb_flush(connection);
#else
    (void)window;
    (void)picture;
#endif
}

}  // namespace pelmo
