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
    for (const auto& candidate : candidates) {
        std::error_code ec;
        if (std::filesystem::exists(candidate, ec)) {
            return candidate;
        }
    }
    return std::nullopt;
}

} // namespace zklog::device
