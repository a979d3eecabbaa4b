#include "device/network_port.h"

#include <charconv>

namespace zklog::device {

namespace {

std::optional<int> parse_port_number(std::string_view digits) {
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size() ||
        value < 1 || value > 65535) {
        return std::nullopt;
    }
    return value;
}

// What a host name or an address may hold; anything else (a slash, an @, blanks) is a typo
// that would otherwise reach the resolver.
bool host_characters(std::string_view host, bool ipv6) {
    for (const char c : host) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!plain && !(ipv6 && (c == ':' || c == '%'))) {
            return false;
        }
    }
    return !host.empty();
}

} // namespace

bool is_network_port(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    return first != std::string_view::npos && text.substr(first).starts_with(kNetworkPortScheme);
}

std::optional<NetworkPort> parse_network_port(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    if (!text.starts_with(kNetworkPortScheme)) {
        return std::nullopt;
    }
    std::string_view rest = text.substr(kNetworkPortScheme.size());
    NetworkPort port;
    std::string_view after_host;
    if (rest.starts_with('[')) {
        const auto close = rest.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view host = rest.substr(1, close - 1);
        if (!host_characters(host, true) || host.find(':') == std::string_view::npos) {
            return std::nullopt;
        }
        port.host = std::string(host);
        after_host = rest.substr(close + 1);
    } else {
        const auto colon = rest.find(':');
        const std::string_view host = rest.substr(0, colon);
        if (!host_characters(host, false)) {
            return std::nullopt;
        }
        port.host = std::string(host);
        after_host = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon);
    }
    if (!after_host.empty()) {
        if (!after_host.starts_with(':')) {
            return std::nullopt;
        }
        const auto number = parse_port_number(after_host.substr(1));
        if (!number) {
            return std::nullopt;
        }
        port.port = *number;
    }
    return port;
}

std::string to_string(const NetworkPort& port) {
    const bool ipv6 = port.host.find(':') != std::string::npos;
    return std::string(kNetworkPortScheme) + (ipv6 ? "[" + port.host + "]" : port.host) + ":" +
           std::to_string(port.port);
}

} // namespace zklog::device
