// The socket beneath libmodbus's TCP context. One file per platform: tcp_socket_unix.cpp,
// tcp_socket_win.cpp (Winsock, which reports its failures apart from errno).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zklog::device {

// Writes the whole of `frame` on the connected socket. 0, or why it could not as an errno value
// (ECONNRESET, EPIPE... for a connection the other side dropped). Never raises SIGPIPE.
int send_frame(int socket, std::span<const std::uint8_t> frame);

// Forgets any earlier failure; called right before the libmodbus call whose failure is read.
void clear_socket_failure_cause();

// Why the libmodbus call just made on a TCP context failed, as an errno value: libmodbus's own
// code (ETIMEDOUT, EMB*) when it set one, else the system's for the socket.
int socket_failure_cause();

// The resolver's own words when `host` cannot be looked up (no such name, no name server);
// empty when it can. libmodbus reports a failed look-up as a refused connection.
std::string name_lookup_failure(const std::string& host);

} // namespace zklog::device
