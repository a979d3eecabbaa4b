// Watching the serial line beneath libmodbus: whether a reply has begun, and when the line has
// fallen quiet. libmodbus says ETIMEDOUT alike for a relay that stayed silent and for a reply
// that stopped mid-frame, and the two call for different handling (see DeviceLink), so the link
// looks at the port itself. One file per platform: line_input_unix.cpp, line_input_win.cpp.
#pragma once

#include <chrono>

struct _modbus; // NOLINT(bugprone-reserved-identifier): libmodbus context, its own tag

namespace zklog::device {

enum class FirstByte {
    Arrived, // a byte of the reply is there to be read (and left there)
    Silent,  // nothing came within the timeout
    Unknown, // this platform cannot tell: libmodbus's own wait decides
};

// Waits up to `timeout` for the first byte of a reply on the context's port, reading nothing.
FirstByte await_first_byte(_modbus* ctx, std::chrono::microseconds timeout);

// Whether bytes wait in the port's input (a reply given twice, noise): only then is the input
// worth purging before a request. Where the port cannot be looked at, true.
bool input_waiting(_modbus* ctx);

// Reads and drops bytes until none has come for `quiet`: the end of any frame under way, with
// the margin that USB adapters passing bytes on in bursts need. Gives up at `give_up`, so that a
// line that never falls quiet (a babbling device) still lets the next request be tried.
void drain_until_quiet(_modbus* ctx, std::chrono::microseconds quiet,
                       std::chrono::steady_clock::time_point give_up);

} // namespace zklog::device
