#pragma once
// What a scene and the sound engine know of the window they belong to: it can
// be asked to repaint (the paint message posted to it), and it has a native
// handle for modal dialogs and the sound device. Tests use a plain fake.

namespace platform {

class Window {
  public:
    virtual ~Window() = default;
    // Queue a repaint; the window's paint handling runs soon after, on the
    // same thread.
    virtual void RequestRepaint() = 0;
    // The GtkWindow* behind this window, or null where there is none.
    virtual void* NativeWindow() { return nullptr; }
};

}  // namespace platform
