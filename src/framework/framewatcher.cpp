#include "framewatcher.h"

#include <QGuiApplication>
#include <QWidget>
#include <xcb/xcb.h>

#include <cstdlib>

namespace {

xcb_connection_t *x11Connection()
{
    const auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

} // namespace

FrameWatcher::FrameWatcher(QWidget *window) : QObject(window), m_window(window)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection)
        return;
    static const char name[] = "_NET_FRAME_EXTENTS";
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
    if (!reply)
        return;
    m_extentsAtom = reply->atom;
    std::free(reply);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

FrameWatcher::~FrameWatcher()
{
    if (m_extentsAtom)
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

int FrameWatcher::outerHeight() const
{
    xcb_connection_t *connection = m_extentsAtom ? x11Connection() : nullptr;
    const WId window = m_window->internalWinId();
    if (connection && window) {
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            connection,
            xcb_get_property(connection, 0, xcb_window_t(window), m_extentsAtom, XCB_ATOM_CARDINAL, 0, 4), nullptr);
        if (reply) {
            int height = -1;
            // left, right, top, bottom
            if (reply->format == 32 && xcb_get_property_value_length(reply) == 16) {
                const auto *sides = static_cast<const quint32 *>(xcb_get_property_value(reply));
                height = m_window->height() + int(sides[2]) + int(sides[3]);
            }
            std::free(reply);
            if (height >= 0)
                return height;
        }
    }
    return m_window->frameGeometry().height();
}

bool FrameWatcher::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto *change = reinterpret_cast<const xcb_property_notify_event_t *>(event);
    const WId window = m_window->internalWinId();
    if (window != 0 && change->window == xcb_window_t(window) && change->atom == m_extentsAtom)
        emit frameChanged();
    return false;
}
