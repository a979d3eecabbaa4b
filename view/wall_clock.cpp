#include "view/wall_clock.h"

#include <QDateTime>

namespace zklog::view {

namespace {

constexpr qint64 kSecondsPerDay = 86400;

QDate day_date(qint64 number) {
    return QDate(2000, 1, 1).addDays(number);
}

} // namespace

const WallClock::Day& WallClock::day(qint64 number) {
    auto found = days_.find(number);
    if (found == days_.end()) {
        const QDate date = day_date(number);
        const QDateTime midnight(date, QTime(0, 0));
        const QDateTime last_second(date, QTime(23, 59, 59));
        found = days_
                    .emplace(number, Day{midnight.toMSecsSinceEpoch(),
                                         midnight.offsetFromUtc() == last_second.offsetFromUtc()})
                    .first;
    }
    return found->second;
}

qint64 WallClock::msecs(long long seconds_since_2000) {
    const qint64 number = seconds_since_2000 / kSecondsPerDay;
    const qint64 in_day = seconds_since_2000 % kSecondsPerDay;
    const Day& d = day(number);
    if (d.uniform) {
        return d.midnight + in_day * 1000;
    }
    // A reading the clocks skipped (02:30 on a spring-forward night) lands where Qt puts it,
    // next to its neighbours; a reading that came twice is placed at its first instant.
    const QTime time = QTime(0, 0).addSecs(static_cast<int>(in_day));
    return QDateTime(day_date(number), time).toMSecsSinceEpoch();
}

} // namespace zklog::view
