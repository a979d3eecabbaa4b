// The --baud value every command that opens a port takes.
#pragma once

#include "device/baud_rates.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <string>

namespace zklog::cli {

// Only the rates a tty can be set to: libmodbus would run any other number at 9600, unsaid.
inline const CLI::Validator kStandardBaud(
    [](const std::string& text) {
        int baud = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), baud);
        if (error == std::errc() && end == text.data() + text.size() &&
            device::is_standard_baud(baud)) {
            return std::string();
        }
        std::string rates;
        for (const int rate : device::kStandardBauds) {
            rates += (rates.empty() ? "" : ", ") + std::to_string(rate);
        }
        return "Value " + text + " is not a standard baud rate (" + rates + ")";
    },
    "RATE");

} // namespace zklog::cli
