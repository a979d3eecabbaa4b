// Line settings of the relay's Modbus RTU port, in one place.
#pragma once

#include <chrono>

namespace zklog::device {

struct SerialSettings {
    int baud = 9600;
    char parity = 'N'; // 'N', 'E' or 'O'
    int data_bits = 8;
    int stop_bits = 1;
    // How long a request waits for the first byte of its reply.
    std::chrono::milliseconds response_timeout{500};
    // How long a reply may fall silent between two of its bytes. RTU ends a frame after 3.5
    // characters of silence; the margin covers USB adapters that pass bytes on in bursts.
    // Kept in microseconds: 3.5 characters at 115200 baud are 0.3 ms.
    std::chrono::microseconds byte_timeout{100'000};
    // A relay busy writing its log may answer up to one response timeout later than the
    // response timeout. After a read timed out, a request for something else first waits for
    // that late reply to pass, so that it is never taken as the answer to another request (see
    // OwedReplies). Off for a bus scan, where every request goes to another address and every
    // silent one would otherwise cost the wait again.
    bool await_late_replies = true;
};

} // namespace zklog::device
