#include "view/reading_series.h"

#include <cmath>

namespace zklog::view {

namespace {

bool flagged(const SeriesSource& s, std::size_t record) {
    return s.fault_bit && (s.faults[record] & (1U << *s.fault_bit)) != 0;
}

} // namespace

std::vector<Polyline> reading_pieces(const SeriesSource& source, bool raw, std::size_t columns) {
    std::vector<double> xs;
    std::vector<double> ys;
    xs.reserve(source.order.size());
    ys.reserve(source.order.size());
    for (const std::size_t record : source.order) {
        xs.push_back(source.x[record]);
        ys.push_back(!raw && flagged(source, record) ? std::nan("") : source.values[record]);
    }
    auto pieces = polylines(xs, ys, columns);
    for (auto& piece : pieces) {
        for (auto& point : piece) {
            point.record = source.order[point.record];
        }
    }
    return pieces;
}

std::vector<PlotPoint> fault_marks(const SeriesSource& source, std::size_t columns) {
    std::vector<PlotPoint> marks;
    if (!source.fault_bit || source.order.empty()) {
        return marks;
    }
    const double low = source.x[source.order.front()];
    const double span = std::max(1e-9, source.x[source.order.back()] - low);
    const auto column_of = [&](double x) {
        return static_cast<long long>((x - low) / span * static_cast<double>(columns));
    };
    double last_good = std::nan("");
    long long last_column = -1;
    std::size_t unplaced = marks.size(); // marks still waiting for a good reading
    for (const std::size_t record : source.order) {
        const double value = source.values[record];
        if (!flagged(source, record)) {
            if (!std::isnan(value)) {
                last_good = value;
                for (; unplaced < marks.size(); ++unplaced) {
                    marks[unplaced].y = value;
                }
            }
            continue;
        }
        const double x = source.x[record];
        if (column_of(x) == last_column) {
            continue;
        }
        last_column = column_of(x);
        marks.push_back({x, last_good, record});
        if (!std::isnan(last_good)) {
            unplaced = marks.size();
        }
    }
    // A field faulty from its first to its last record has nothing to sit on: its marks stay NaN
    // and the caller puts them at the foot of the chart.
    return marks;
}

} // namespace zklog::view
