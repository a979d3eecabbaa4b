// A Modbus TCP gateway given as a port: tcp://HOST[:PORT].
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zklog::device {

inline constexpr std::string_view kNetworkPortScheme = "tcp://";
inline constexpr int kModbusTcpPort = 502;

struct NetworkPort {
    std::string host; // a name, an IPv4 address or an IPv6 address (without its brackets)
    int port = kModbusTcpPort;
    bool operator==(const NetworkPort&) const = default;
};

// True for any text that names a network port, well formed or not: it is not a serial one.
bool is_network_port(std::string_view text);

// tcp://HOST, tcp://HOST:PORT, tcp://[IPv6] or tcp://[IPv6]:PORT, PORT 1 to 65535. Nothing
// after the port (no path, no user), no empty host, no bare IPv6 address (its colons would be
// taken for the port's).
std::optional<NetworkPort> parse_network_port(std::string_view text);

// The port as written back: tcp://host:port, an IPv6 host in brackets.
std::string to_string(const NetworkPort& port);

} // namespace zklog::device
