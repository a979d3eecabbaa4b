// The port and device address as the user types them.
#pragma once

#include "device/device_link.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace zklog::download {

inline constexpr std::uint32_t kMinAddress = 1;
inline constexpr std::uint32_t kMaxAddress = 247; // highest Modbus unit address
inline constexpr std::int32_t kMinPort = 1;
inline constexpr std::int32_t kMaxPort = 255;

// A whole decimal number within [min, max], blanks around it allowed; nothing else.
std::optional<std::int64_t> parse_whole_number(std::string_view text, std::int64_t min,
                                               std::int64_t max);

std::optional<std::uint32_t> parse_device_address(std::string_view text);

// A COM port number, or a device path (beginning with '/') for the command line, or, where
// `network` allows it, a Modbus TCP gateway (tcp://HOST[:PORT], see device::NetworkPort).
using PortChoice = std::variant<std::int32_t, std::string, device::NetworkPort>;
std::optional<PortChoice> parse_port(std::string_view text, bool network = false);

// Opens the chosen port on the link; DeviceLink::kOpenOk when open.
std::int32_t open_port(device::DeviceLink& link, const PortChoice& port);

} // namespace zklog::download
