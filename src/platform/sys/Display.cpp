#include "platform/sys/Display.h"

#include <atomic>

namespace platform {
namespace {
std::atomic<bool> displayAvailable{false};
}

bool DisplayAvailable() {
    return displayAvailable;
}

void SetDisplayAvailable(bool available) {
    displayAvailable = available;
}

}  // namespace platform
