// The serial speeds a Linux tty can be set to.
#pragma once

#include <array>

namespace zklog::device {

// The standard termios rates (B50 to B4000000). libmodbus maps only these to the line and
// quietly uses 9600 for any other number.
inline constexpr std::array<int, 30> kStandardBauds = {
    50,     75,     110,     134,     150,     200,     300,     600,     1200,    1800,
    2400,   4800,   9600,    19200,   38400,   57600,   115200,  230400,  460800,  500000,
    576000, 921600, 1000000, 1152000, 1500000, 2000000, 2500000, 3000000, 3500000, 4000000,
};

constexpr bool is_standard_baud(int baud) {
    for (const int rate : kStandardBauds) {
        if (rate == baud) {
            return true;
        }
    }
    return false;
}

} // namespace zklog::device
