#include "device/port_path.h"

#include <array>
#include <string>
#include <system_error>

namespace zklog::device {

std::filesystem::path executable_dir() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return std::filesystem::current_path();
    }
    return exe.parent_path();
}

std::optional<std::filesystem::path> com_port_path(int number,
                                                   const std::filesystem::path& exe_dir) {
    if (number < 1) {
        return std::nullopt;
    }
    const std::string index = std::to_string(number - 1);
    const std::array<std::filesystem::path, 4> candidates = {
        exe_dir / ("COM" + std::to_string(number)),
        "/dev/ttyUSB" + index,
        "/dev/ttyACM" + index,
        "/dev/ttyS" + index,
    };
    // The COMn link is the user's own choice of device: when it points nowhere (the adapter
    // is unplugged) it is still the port, and opening it fails, rather than falling through
    // to a /dev name that is some other device.
    std::error_code ec;
    if (std::filesystem::is_symlink(candidates[0], ec)) {
        return candidates[0];
    }
    for (const auto& candidate : candidates) {
        if (std::filesystem::exists(candidate, ec)) {
            return candidate;
        }
    }
    return std::nullopt;
}

} // namespace zklog::device
