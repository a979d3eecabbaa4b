// The charts' axes as an instrument's: tick values at round numbers with the unit beside them,
// a time axis from the earliest to the latest stamp labelled at round local times chosen again
// whenever it is zoomed, labels never cut short, and the three charts' time axes kept in step.
#pragma once

#include <QString>
#include <QtCharts/QChart>
#include <QtCharts/QValueAxis>
#include <span>

namespace zklog::view {

// The tick spacing for `span` in at most `max_ticks` intervals: 1, 2 or 5 times a power of ten.
double round_step(double span, int max_ticks);

// A value axis with its unit as title whose ticks stay on round numbers as it is zoomed.
QValueAxis* make_reading_axis(const QString& unit, int max_ticks);
// Shows [low, high] widened to whole ticks.
void set_reading_range(QValueAxis* axis, double low, double high);

// The time axis (msecs since the epoch) or, with `numbered`, the record number axis; either is
// a value axis whose ticks follow its range.
QValueAxis* make_x_axis(bool numbered, bool labelled);
// Exactly [low, high] on the x axis (a lone moment gets an hour around it, a lone record one
// either side).
void set_x_range(QValueAxis* axis, double low, double high);
// At most `max_ticks` intervals between the x axis' labels, as its chart's width leaves room.
void set_x_tick_limit(QValueAxis* axis, int max_ticks);

// Zooming any chart in time zooms the others the same, so the lanes line up with the lines.
void link_x_axes(std::span<QChart* const> charts);

} // namespace zklog::view
