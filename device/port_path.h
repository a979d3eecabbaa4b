// COM port numbers. One file per platform: port_path_unix.cpp, port_path_win.cpp.
#pragma once

#include <filesystem>
#include <optional>

namespace zklog::device {

// The folder that holds the running executable.
std::filesystem::path executable_dir();

// On Windows: \\.\COMn, the system's name, whatever `exe_dir`. On Linux, COM n is the first
// of these that exists: <exe_dir>/COMn (a link a user or the demo puts
// there), /dev/ttyUSB<n-1>, /dev/ttyACM<n-1>, /dev/ttyS<n-1>. None, or n < 1: no port.
std::optional<std::filesystem::path> com_port_path(int number,
                                                   const std::filesystem::path& exe_dir);

} // namespace zklog::device
