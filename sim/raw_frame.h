// A request frame taken off the line as bytes, before libmodbus sees it: on a line with several
// relays the slave address must be known first, since libmodbus drops a frame for any slave
// but the one its context is set to.
#pragma once

#include <cstdint>
#include <vector>

namespace zklog::sim {

// Reads what is waiting on `fd`, then whatever follows within `gap_ms` of silence: RTU ends a
// frame with a silence of 3.5 characters, and a client writes its request in one go.
std::vector<std::uint8_t> read_frame(int fd, int gap_ms = 5);

// Everything waiting on the non-blocking `fd` now, without waiting for more: a reply libmodbus
// has just written into the pipe or socket pair the servers hand it in place of the line.
std::vector<std::uint8_t> take_waiting_bytes(int fd);

} // namespace zklog::sim
