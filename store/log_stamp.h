// The relay's time stamp as table LOG keeps it: `Data` as day/month/two-digit year, `Hora`
// as hour:minute:second.
#pragma once

#include <optional>
#include <string_view>

namespace zklog::store {

struct TimeStamp {
    int year = 0; // 2000 to 2099
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// nullopt when either text is not a real calendar date and clock time (31/2/24, 25:00:00), as
// a relay with a clock fault writes.
std::optional<TimeStamp> parse_time_stamp(std::string_view data, std::string_view hora);

// Seconds since 2000-01-01 00:00:00 on the relay's own clock (no time zone), for ordering and
// spacing points on the axis.
long long seconds_since_2000(const TimeStamp& stamp);

} // namespace zklog::store
