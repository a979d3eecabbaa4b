// The relay chart: one labelled lane per relay RL1 to RL8, filled while the relay is active.
#pragma once

#include "view/chart_data.h"

#include <QtCharts/QChart>
#include <span>

namespace zklog::view {

// The lane axis on the left, with every lane named whatever the chart's height.
QAbstractAxis* make_lane_axis();

// Adds the lanes to `chart`, in time order, attached to `x_axis` and `lane_axis`.
void add_relay_lanes(QChart* chart, const ChartData& data, std::span<const double> x,
                     std::size_t columns, QAbstractAxis* x_axis, QAbstractAxis* lane_axis);

// Height the lanes need so that no lane name is left out.
inline constexpr int kRelayChartMinimumHeight = 190;

} // namespace zklog::view
