// The charts' axes as an instrument's: tick values at round numbers with the unit beside them,
// a time axis from the earliest to the latest stamp on round times of day, labels never cut
// short, and the three charts' time axes kept in step.
#pragma once

#include <QString>
#include <QtCharts/QChart>
#include <QtCharts/QValueAxis>
#include <span>

namespace zklog::view {

// The tick spacing for `span` in at most `max_ticks` intervals: 1, 2 or 5 times a power of ten.
double round_step(double span, int max_ticks);

struct TimeTicks {
    qint64 first = 0; // msecs since the epoch, on a round local time
    qint64 last = 0;
    int count = 2;
    QString format;
};

// Round local times (whole hours, midnights, weeks) that cover [low, high] in at most
// `max_ticks` intervals.
TimeTicks round_time_ticks(qint64 low, qint64 high, int max_ticks);

// A value axis with its unit as title whose ticks stay on round numbers as it is zoomed.
QValueAxis* make_reading_axis(const QString& unit, int max_ticks);
// Shows [low, high] widened to whole ticks.
void set_reading_range(QValueAxis* axis, double low, double high);

// The time axis (msecs since the epoch) or, with `numbered`, the record number axis.
QAbstractAxis* make_x_axis(bool numbered, bool labelled);
// [low, high] on the x axis: round times for a time axis, whole records otherwise.
void set_x_range(QAbstractAxis* axis, double low, double high);

// Zooming any chart in time zooms the others the same, so the lanes line up with the lines.
void link_x_axes(std::span<QChart* const> charts);

} // namespace zklog::view
