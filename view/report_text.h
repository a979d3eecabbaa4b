// Numbers, durations and stamps as a Brazilian reader writes them, for the service report.
#pragma once

#include <QString>

namespace zklog::view {

// Decimal comma and dot thousands: 1234.56 with one digit is "1.234,6".
QString decimal_text(double value, int digits = 1);

// "118,3 °C".
QString temperature_text(double value);

// Hours and minutes, "h:mm", to the nearest minute: 5400 s is "1:30", 100 hours "100:00".
QString duration_text(long long seconds);

// Seconds since 2000-01-01 00:00:00 on the relay's clock as "dd/mm/aaaa hh:mm:ss".
QString stamp_text(long long seconds_since_2000);

} // namespace zklog::view
