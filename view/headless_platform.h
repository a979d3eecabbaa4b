// The Qt platform --render and --report draw on, with no window shown. One file per platform:
// headless_platform_unix.cpp, headless_platform_win.cpp.
#pragma once

namespace zklog::view {

// Linux: "offscreen", which needs no display (a script, a cron job, a server) and finds the
// system's fonts through fontconfig. Windows: "windows" itself: every Windows session can draw
// text through it, while the offscreen platform there finds no font at all.
const char* headless_platform();

} // namespace zklog::view
