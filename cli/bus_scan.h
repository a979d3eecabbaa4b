// Which relays answer on a line: each address asked once for its log pointer (register 1024),
// for the technician who does not know the relay's address.
#pragma once

#include "device/device_link.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace zklog::cli {

struct BusScanSettings {
    std::uint32_t first_address = 1;
    std::uint32_t last_address = 247; // highest Modbus unit address
    // How long each address is given to answer. Short: a relay answers within a few
    // milliseconds, and the whole range must take seconds, not minutes.
    std::chrono::milliseconds timeout{100};
};

enum class ScanReply {
    LogPointer, // a relay: `pointer` holds its log pointer
    Exception,  // a device that refused the read
    Garbled,    // something answered, but no valid frame came back
};

struct ScanAnswer {
    std::uint32_t address = 0;
    ScanReply reply = ScanReply::LogPointer;
    std::uint32_t pointer = 0;
    int error = 0; // the link's last_error() for an exception or a garbled reply
};

// The line settings for a scan: no waiting for late replies, since every request goes to a
// new address, and the scan's own timeout.
device::SerialSettings scan_line_settings(device::SerialSettings line, const BusScanSettings& scan);

struct ScanOutcome {
    int relays = 0;         // how many addresses gave a log pointer
    bool port_lost = false; // the port went away: the addresses after it were not asked
};

// Asks every address of the range once, in ascending order, until the port goes away.
// `on_answer` is called for each address that gave any reply, `on_address` before each
// request (for progress).
ScanOutcome scan_bus(device::DeviceLink& link, const BusScanSettings& settings,
                     const std::function<void(const ScanAnswer&)>& on_answer,
                     const std::function<void(std::uint32_t address)>& on_address = {});

} // namespace zklog::cli
