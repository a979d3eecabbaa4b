// Charts stacked over one time axis, their plot areas kept to the same left and right edges, so
// one moment is one column of pixels in all of them: a relay switching sits under the reading
// that made it switch.
#pragma once

#include <QtCharts/QChart>
#include <span>

namespace zklog::view {

// Gives every chart the extra side room that brings its plot area to the common edges: the
// rightmost left edge and the leftmost right edge that the charts' own axes leave. Called again
// whenever any of them lays itself out (a resize, a zoom that changes a label's width).
void align_plot_areas(std::span<QChart* const> charts);

// Lays the charts out now and aligns them, for a picture drawn without an event loop.
void align_plot_areas_now(std::span<QChart* const> charts);

} // namespace zklog::view
