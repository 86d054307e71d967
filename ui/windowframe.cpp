#include "ui/windowframe.h"

#include <QWidget>
#include <QWindow>
#include <optional>

#ifdef SCALE_HAVE_XCB
#include <xcb/xcb.h>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>
#endif

namespace scale {
namespace {

#ifdef SCALE_HAVE_XCB

template <typename Reply>
using XcbReply = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    const auto cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    const XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The values of a 32-bit property; empty when the window does not have it.
std::vector<std::uint32_t> property32(xcb_connection_t* connection, xcb_window_t window,
                                      xcb_atom_t property, xcb_atom_t type,
                                      std::uint32_t maxValues) {
    const auto cookie = xcb_get_property(connection, 0, window, property, type, 0, maxValues);
    const XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (!reply || reply->type != type || reply->format != 32) {
        return {};
    }
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}

// Asks the window manager for the frame extents of the not yet mapped window
// (_NET_REQUEST_FRAME_EXTENTS) and returns left + right. Nothing when the application does not
// run on X11 or no window manager that can tell runs.
std::optional<int> x11FrameWidth(WId id) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) {
        return std::nullopt;
    }
    xcb_connection_t* connection = x11->connection();
    const auto window = static_cast<xcb_window_t>(id);
    const XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr),
        &std::free);
    if (!geometry) {
        return std::nullopt;
    }
    const xcb_window_t root = geometry->root;
    const xcb_atom_t request = internAtom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    const auto supported =
        property32(connection, root, internAtom(connection, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 1024);
    if (request == XCB_ATOM_NONE ||
        std::find(supported.begin(), supported.end(), request) == supported.end()) {
        return std::nullopt;
    }

    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = request;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);

    // The window manager answers by setting the property; it usually takes a few milliseconds.
    const xcb_atom_t extents = internAtom(connection, "_NET_FRAME_EXTENTS");
    QElapsedTimer waited;
    waited.start();
    do {
        const auto values = property32(connection, window, extents, XCB_ATOM_CARDINAL, 4);
        if (values.size() == 4) {  // left, right, top, bottom
            return static_cast<int>(values[0] + values[1]);
        }
        QThread::msleep(5);
    } while (waited.elapsed() < 500);
    return std::nullopt;
}

#endif

}  // namespace

int frameWidthBeforeShow(QWidget* window) {
    const WId id = window->winId();
#ifdef SCALE_HAVE_XCB
    if (const std::optional<int> native = x11FrameWidth(id)) {
        return qRound(*native / window->devicePixelRatioF());
    }
#else
    Q_UNUSED(id);
#endif
    // Elsewhere the platform knows the frame once the native window exists.
    const QMargins margins = window->windowHandle()->frameMargins();
    return margins.left() + margins.right();
}

}  // namespace scale
