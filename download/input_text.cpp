#include "download/input_text.h"

#include <charconv>

namespace zklog::download {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

} // namespace

std::optional<std::int64_t> parse_whole_number(std::string_view text, std::int64_t min,
                                               std::int64_t max) {
    const std::string_view digits = trimmed(text);
    if (digits.empty()) {
        return std::nullopt;
    }
    // from_chars reports a number too large for the type, however many digits it has; a
    // length cut-off would refuse small numbers written with many leading zeros instead.
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || end != digits.data() + digits.size() || value < min ||
        value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint32_t> parse_device_address(std::string_view text) {
    if (auto value = parse_whole_number(text, kMinAddress, kMaxAddress)) {
        return static_cast<std::uint32_t>(*value);
    }
    return std::nullopt;
}

std::optional<PortChoice> parse_port(std::string_view text, bool network) {
    const std::string_view port = trimmed(text);
    if (network && device::is_network_port(port)) {
        if (auto address = device::parse_network_port(port)) {
            return PortChoice{std::move(*address)};
        }
        return std::nullopt;
    }
    if (port.starts_with('/') || port.starts_with('\\')) {
        return PortChoice{std::string(port)};
    }
    if (auto value = parse_whole_number(port, kMinPort, kMaxPort)) {
        return PortChoice{static_cast<std::int32_t>(*value)};
    }
    return std::nullopt;
}

std::int32_t open_port(device::DeviceLink& link, const PortChoice& port) {
    if (const auto* number = std::get_if<std::int32_t>(&port)) {
        return link.open_comm(*number);
    }
    if (const auto* address = std::get_if<device::NetworkPort>(&port)) {
        return link.open_network(*address);
    }
    return link.open_path(std::get<std::string>(port));
}

} // namespace zklog::download
