// The form's typefaces, with a clean fallback where Verdana is not installed.
#pragma once

#include <QFont>

namespace zklog::app {

// Verdana at `point_size`, else the first installed of fallback_faces() at the same size.
QFont form_font(double point_size);

inline constexpr double kFormPointSize = 9.75;
inline constexpr double kButtonPointSize = 9.0;

} // namespace zklog::app
