// A series with NULLs as the pieces of line a chart draws: a NULL ends a piece, so no line is
// drawn across it. Long series are thinned to the lowest and highest value per column of the
// chart, which keeps every peak and keeps drawing fast at any row count.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace zklog::view {

struct PlotPoint {
    double x = 0;
    double y = 0;
    std::size_t record = 0; // index into the loaded records
};

using Polyline = std::vector<PlotPoint>;

// `y` NaN is NULL. At most about 2 * `columns` points come back in all. With more records than
// columns, a gap is drawn where a whole column holds no value.
std::vector<Polyline> polylines(std::span<const double> x, std::span<const double> y,
                                std::size_t columns);

} // namespace zklog::view
