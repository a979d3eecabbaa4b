// Where the form's Verdana is not installed, the faces its text is drawn in instead.
#pragma once

#include <QStringList>

namespace zklog::app {

// Installed-or-not face names, best first; the font match takes the first one present. One
// file per platform: font_fallback_unix.cpp, font_fallback_win.cpp.
QStringList fallback_faces();

} // namespace zklog::app
