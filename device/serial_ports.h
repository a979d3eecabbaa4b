// The serial ports this machine has, so that a technician can find the relay's COM number
// without the Device Manager. One file per platform: serial_ports_unix.cpp, serial_ports_win.cpp.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zklog::device {

struct SerialPortInfo {
    // The number `--port N` and the window's "Porta COM:" reach this port by; nullopt when
    // another device takes that number first (on Linux, reach it by its path then).
    std::optional<int> com;
    std::string device;      // /dev/ttyUSB0, or \Device\Serial0 on Windows
    std::string description; // what the adapter says it is; empty when it says nothing
};

// Sorted by COM number, ports without one last. `exe_dir` as for com_port_path().
std::vector<SerialPortInfo> serial_ports(const std::filesystem::path& exe_dir);

} // namespace zklog::device
