#pragma once
// A window for scenes and sound players under test: it only counts the
// repaints asked of it.
#include "platform/ui/Window.h"

class FakeWindow : public platform::Window {
  public:
    void RequestRepaint() override { ++repaints; }
    long repaints = 0;
};
