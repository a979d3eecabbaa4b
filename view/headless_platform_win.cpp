#include "view/headless_platform.h"

namespace zklog::view {

const char* headless_platform() {
    return "windows";
}

} // namespace zklog::view
