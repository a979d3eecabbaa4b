// The serial line on Windows, where libmodbus keeps the port's HANDLE to itself
// (modbus_get_socket() gives -1) and reads through its own buffer: only libmodbus can look.
#include "device/line_input.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <modbus/modbus.h>

namespace zklog::device {

namespace {

using Clock = std::chrono::steady_clock;

struct Timeout {
    std::uint32_t seconds = 0;
    std::uint32_t microseconds = 0;
};

Timeout from(std::chrono::microseconds us) {
    return {static_cast<std::uint32_t>(us.count() / 1'000'000),
            static_cast<std::uint32_t>(us.count() % 1'000'000)};
}

} // namespace

// Peeking at the port would take the byte from libmodbus's buffer: its own wait for the reply
// decides, with the same response timeout.
FirstByte await_first_byte(modbus_t*, std::chrono::microseconds) {
    return FirstByte::Unknown;
}

// libmodbus's buffer cannot be looked into from here: always purge.
bool input_waiting(modbus_t*) {
    return true;
}

// Reads whatever comes as if it were a reply, with both of libmodbus's timeouts set to `quiet`,
// until a read times out. A read that finds nothing times out after `quiet` of silence; one that
// took bytes and then timed out did so after `quiet` without the next byte; either way the line
// has been quiet that long. A whole frame or a garbled one means bytes were still coming: read
// again. Merely purging and sleeping could not tell a quiet line from one still talking, and
// waiting on the port beneath libmodbus is not possible here. A failure of the port itself
// (errno left unset, see port_error.h) stops the wait too: the next read reports it.
void drain_until_quiet(modbus_t* ctx, std::chrono::microseconds quiet, Clock::time_point give_up) {
    Timeout response;
    Timeout byte;
    modbus_get_response_timeout(ctx, &response.seconds, &response.microseconds);
    modbus_get_byte_timeout(ctx, &byte.seconds, &byte.microseconds);
    const Timeout wait = from(quiet);
    modbus_set_response_timeout(ctx, wait.seconds, wait.microseconds);
    modbus_set_byte_timeout(ctx, wait.seconds, wait.microseconds);
    std::array<std::uint8_t, MODBUS_RTU_MAX_ADU_LENGTH> frame{};
    while (Clock::now() < give_up) {
        errno = 0;
        if (modbus_receive_confirmation(ctx, frame.data()) == -1 &&
            (errno == ETIMEDOUT || errno == 0)) {
            break;
        }
    }
    modbus_set_response_timeout(ctx, response.seconds, response.microseconds);
    modbus_set_byte_timeout(ctx, byte.seconds, byte.microseconds);
    modbus_flush(ctx);
}

} // namespace zklog::device
