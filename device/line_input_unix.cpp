// The serial line seen through the descriptor libmodbus opened (a tty or a pseudo-terminal).
#include "device/line_input.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <modbus/modbus.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace zklog::device {

namespace {

using Clock = std::chrono::steady_clock;

// Waits for input until `until`, restarted after a signal; true when a byte can be read. ppoll()
// keeps the deadline to the microsecond: byte timeouts are fractions of a millisecond at the
// higher rates, which poll()'s whole milliseconds would round up.
bool readable_before(int fd, Clock::time_point until) {
    for (;;) {
        const auto left = std::max(Clock::duration::zero(), until - Clock::now());
        const auto seconds = std::chrono::floor<std::chrono::seconds>(left);
        const timespec timeout{static_cast<time_t>(seconds.count()),
                               static_cast<long>(std::chrono::nanoseconds(left - seconds).count())};
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::ppoll(&waiting, 1, &timeout, nullptr);
        if (ready == -1 && errno == EINTR) {
            continue;
        }
        // POLLHUP and POLLERR count as input: the read that follows reports the lost port.
        return ready > 0;
    }
}

} // namespace

FirstByte await_first_byte(modbus_t* ctx, std::chrono::microseconds timeout) {
    const int fd = modbus_get_socket(ctx);
    if (fd < 0) {
        return FirstByte::Unknown;
    }
    return readable_before(fd, Clock::now() + timeout) ? FirstByte::Arrived : FirstByte::Silent;
}

// Counted by the line discipline itself: unlike poll() or tcflush(), FIONREAD does not wait for
// the pty's or the driver's buffer work still handing over the reply just read, a wait that
// cost some 40 µs a request on a pty at 115200 baud.
bool input_waiting(modbus_t* ctx) {
    const int fd = modbus_get_socket(ctx);
    int waiting = 0;
    return fd < 0 || ::ioctl(fd, FIONREAD, &waiting) != 0 || waiting > 0;
}

void drain_until_quiet(modbus_t* ctx, std::chrono::microseconds quiet, Clock::time_point give_up) {
    const int fd = modbus_get_socket(ctx);
    std::array<std::uint8_t, 256> discard{};
    while (fd >= 0 && Clock::now() < give_up) {
        if (!readable_before(fd, std::min(give_up, Clock::now() + quiet)) ||
            ::read(fd, discard.data(), discard.size()) <= 0) {
            break;
        }
    }
    modbus_flush(ctx);
}

} // namespace zklog::device
