#include "platform/sys/Locale.h"

#include <clocale>

namespace platform {

void UseEnvironmentLocale() {
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
}

}  // namespace platform
