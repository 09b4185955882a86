#pragma once
// What a scene knows of the window that owns it: the window can be asked to
// repaint, and it lends the scene the program's services (clock, random
// numbers, sound output, message boxes...). The game window is the real host;
// tests use a small fake one.
#include "platform/Services.h"

class SceneHost {
  public:
    virtual ~SceneHost() = default;
    // Queues a repaint; the window paints soon after, on the same thread.
    virtual void RequestRepaint() = 0;
    virtual platform::Services& Services() = 0;
};
