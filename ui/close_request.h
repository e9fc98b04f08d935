// The window system's request to close a window while a warning box is up. Qt drops such a
// request, as the box blocks the window; a user who closed the window at that moment would find
// it open again once the box is answered. This filter sees the request before Qt drops it and
// closes the window itself, which dismisses the box first (the frames know how).
#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>

namespace tarsel {

class CloseRequestFilter : public QAbstractNativeEventFilter {
  public:
    // The X11 atoms WM_PROTOCOLS and WM_DELETE_WINDOW, as the window system names them.
    CloseRequestFilter(std::uint32_t protocols, std::uint32_t deleteWindow)
        : m_protocols(protocols), m_deleteWindow(deleteWindow) {}

    // A filter for the running X11 display, installed on the application; none elsewhere.
    static void InstallForDisplay();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    std::uint32_t m_protocols;
    std::uint32_t m_deleteWindow;
};

}  // namespace tarsel
