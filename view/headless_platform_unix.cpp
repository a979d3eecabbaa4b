#include "view/headless_platform.h"

namespace zklog::view {

const char* headless_platform() {
    return "offscreen";
}

} // namespace zklog::view
