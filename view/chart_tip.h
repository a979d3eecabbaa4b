// What the pointer finds on a chart: the nearest record, and the tip that names it.
#pragma once

#include "view/chart_data.h"

#include <QString>
#include <optional>
#include <span>

namespace zklog::view {

// The record whose place on the axis is nearest `x`; nullopt when there is none.
std::optional<std::size_t> nearest_record(std::span<const double> x, double at);

// "Registro n", `Data` and `Hora` as stored, then every reading the record holds with its unit;
// a reading whose sensor the record flags as faulty says so beside the number written.
QString record_tip(const ChartData& data, std::size_t record);

} // namespace zklog::view
