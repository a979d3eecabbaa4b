// The ticks of a time axis: round local times (whole minutes, hours, midnights, Mondays, firsts
// of the month) spaced so that about `max_ticks` intervals cover the range, with a label format
// that shows what changes from one tick to the next.
#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

namespace zklog::view {

struct TimeStep {
    enum class Unit { Second, Minute, Hour, Day, Month };
    Unit unit = Unit::Hour;
    int count = 1;

    qint64 nominal_msecs() const; // a month counted as its average length
    bool operator==(const TimeStep&) const = default;
};

struct TimeTicks {
    TimeStep step;
    std::vector<qint64> at; // msecs since the epoch, inside [low, high], ascending
    QString format;         // a QDateTime format
};

// The smallest round step that keeps [low, high] to at most `max_ticks` intervals, and every
// round local time of that step inside [low, high].
TimeTicks round_time_ticks(qint64 low, qint64 high, int max_ticks);

} // namespace zklog::view
