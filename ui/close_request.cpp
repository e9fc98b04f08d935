// Honouring a close request that arrives while a warning box blocks the window.
#include "ui/close_request.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace tarsel {
namespace {

std::uint32_t InternAtom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : std::uint32_t{XCB_ATOM_NONE};
}

}  // namespace

void CloseRequestFilter::InstallForDisplay() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) {
        return;  // not on X11: the request reaches the window as Qt gives it
    }
    static CloseRequestFilter* const filter = [x11] {
        auto* made = new CloseRequestFilter(InternAtom(x11->connection(), "WM_PROTOCOLS"),
                                            InternAtom(x11->connection(), "WM_DELETE_WINDOW"));
        qApp->installNativeEventFilter(made);
        return made;
    }();
    (void)filter;
}

bool CloseRequestFilter::nativeEventFilter(const QByteArray& eventType, void* message,
                                           qintptr* result) {
    (void)result;
    if (eventType != "xcb_generic_event_t" || m_protocols == std::uint32_t{XCB_ATOM_NONE}) {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) {
        return false;
    }
    const auto* request = static_cast<const xcb_client_message_event_t*>(message);
    if (request->format != 32 || request->type != m_protocols ||
        request->data.data32[0] != m_deleteWindow) {
        return false;
    }
    // Only a window that a warning box blocks; any other close is Qt's own to deliver.
    QWidget* box = QApplication::activeModalWidget();
    if (qobject_cast<QMessageBox*>(box) == nullptr) {
        return false;
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != box->window() && window->internalWinId() == request->window) {
            QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
        }
    }
    return false;
}

}  // namespace tarsel
