// One field's readings as a chart draws them: the line in time order, and a fault mark where
// the record's own error flags say its sensor was faulty, in place of the number it wrote.
#pragma once

#include "view/polyline.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zklog::view {

struct SeriesSource {
    std::span<const double> x;             // each record's place on the axis
    std::span<const std::size_t> order;    // the records in the order of x
    std::span<const double> values;        // each record's reading, NaN for NULL
    std::span<const std::uint16_t> faults; // each record's faulty fields (bit per field)
    std::optional<unsigned> fault_bit;     // this field's bit, if its sensor can be flagged
};

// The pieces of line, `PlotPoint::record` the saved record's index. A flagged reading is a gap
// unless `raw`, so the fault word the relay wrote never stretches the scale.
std::vector<Polyline> reading_pieces(const SeriesSource& source, bool raw, std::size_t columns);

// One mark per flagged stretch and column: at the flagged record's time and at the field's
// last good reading before it (the first after it when there is none), so it sits on the line.
std::vector<PlotPoint> fault_marks(const SeriesSource& source, std::size_t columns);

} // namespace zklog::view
