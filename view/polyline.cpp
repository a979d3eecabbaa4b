#include "view/polyline.h"

#include <cmath>

namespace zklog::view {

std::vector<Polyline> polylines(std::span<const double> x, std::span<const double> y,
                                std::size_t columns) {
    std::vector<Polyline> pieces;
    const std::size_t count = std::min(x.size(), y.size());
    const std::size_t per_column =
        columns == 0 ? 1 : std::max<std::size_t>(1, (count + columns - 1) / columns);
    Polyline current;
    auto end_piece = [&] {
        if (!current.empty()) {
            pieces.push_back(std::move(current));
            current.clear();
        }
    };
    for (std::size_t start = 0; start < count; start += per_column) {
        const std::size_t stop = std::min(count, start + per_column);
        // A column narrower than a pixel cannot show a gap inside it: a column with any value
        // is drawn by its lowest and highest, and only a column with no value at all breaks the
        // line. At one record per column every NULL is a break.
        std::size_t low = stop;
        std::size_t high = stop;
        auto flush_run = [&] {
            if (low == stop) {
                return;
            }
            const std::size_t first = std::min(low, high);
            const std::size_t second = std::max(low, high);
            current.push_back({x[first], y[first], first});
            if (second != first) {
                current.push_back({x[second], y[second], second});
            }
            low = high = stop;
        };
        for (std::size_t i = start; i < stop; ++i) {
            if (std::isnan(y[i])) {
                continue;
            }
            if (low == stop || y[i] < y[low]) {
                low = i;
            }
            if (high == stop || y[i] > y[high]) {
                high = i;
            }
        }
        if (low == stop) {
            end_piece();
        }
        flush_run();
    }
    end_piece();
    return pieces;
}

} // namespace zklog::view
