// Where a relay's stamp goes on a time axis that shows local time.
#pragma once

#include <QtGlobal>
#include <unordered_map>

namespace zklog::view {

// The relay's clock has no time zone: a stamp is placed at the instant whose local wall-clock
// reading is the stamp, so the axis labels read as the relay wrote them, on the days the clocks
// change too. Each day's midnight is looked up once; only a day whose offset from UTC changes
// places its stamps one by one, since a lookup per record reads the zone rules each time.
class WallClock {
public:
    // Milliseconds since the epoch for seconds since 2000-01-01 00:00:00 on the relay's clock.
    qint64 msecs(long long seconds_since_2000);

private:
    struct Day {
        qint64 midnight = 0;
        bool uniform = true; // one offset from UTC all day
    };
    const Day& day(qint64 number);

    std::unordered_map<qint64, Day> days_;
};

} // namespace zklog::view
