// Linux: the COMn links beside the program, and the kernel's serial devices that have hardware
// behind them, named by /dev/serial/by-id (the adapter's vendor, model and serial number) or
// else by the driver that serves them.
#include "device/port_path.h"
#include "device/serial_ports.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <string_view>
#include <system_error>

namespace zklog::device {

namespace {

namespace fs = std::filesystem;

// "COM12" -> 12.
std::optional<int> com_number(std::string_view name) {
    if (!name.starts_with("COM")) {
        return std::nullopt;
    }
    int number = 0;
    const auto* end = name.data() + name.size();
    const auto [next, error] = std::from_chars(name.data() + 3, end, number);
    if (error != std::errc{} || next != end || number < 1) {
        return std::nullopt;
    }
    return number;
}

// The by-id names, keyed by the device each points to.
std::map<fs::path, std::string> by_id_names() {
    std::map<fs::path, std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/dev/serial/by-id", ec)) {
        const auto target = fs::canonical(entry.path(), ec);
        if (!ec) {
            names.emplace(target, entry.path().filename().string());
        }
    }
    return names;
}

// The 8250 driver makes ttyS0 to ttyS31 whether or not a UART is there; one without hardware
// reports type 0 ("unknown").
bool has_hardware(const fs::path& tty_class_dir) {
    std::error_code ec;
    if (!fs::exists(tty_class_dir / "device", ec)) {
        return false;
    }
    std::ifstream type(tty_class_dir / "type");
    int uart_type = -1;
    return !(type >> uart_type) || uart_type != 0;
}

std::string driver_name(const fs::path& tty_class_dir) {
    std::error_code ec;
    const auto driver = fs::read_symlink(tty_class_dir / "device" / "driver", ec);
    return ec ? std::string() : driver.filename().string();
}

// The number COM n would open this device by, if it is the first choice for that n.
std::optional<int> com_for(const fs::path& device, const fs::path& exe_dir) {
    const std::string name = device.filename().string();
    for (const std::string_view prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
        int index = 0;
        const auto* end = name.data() + name.size();
        if (!name.starts_with(prefix)) {
            continue;
        }
        const auto [next, error] = std::from_chars(name.data() + prefix.size(), end, index);
        if (error == std::errc{} && next == end && com_port_path(index + 1, exe_dir) == device) {
            return index + 1;
        }
    }
    return std::nullopt;
}

} // namespace

std::vector<SerialPortInfo> serial_ports(const fs::path& exe_dir) {
    const auto by_id = by_id_names();
    std::vector<SerialPortInfo> ports;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(exe_dir, ec)) {
        const auto number = com_number(entry.path().filename().string());
        if (number && fs::is_symlink(entry.symlink_status(ec))) {
            const auto target = fs::read_symlink(entry.path(), ec);
            const auto real = fs::canonical(entry.path(), ec);
            const auto named = ec ? by_id.end() : by_id.find(real);
            ports.push_back({number, target.string(),
                             named == by_id.end() ? "link " + entry.path().filename().string()
                                                  : named->second});
        }
    }
    for (const auto& entry : fs::directory_iterator("/sys/class/tty", ec)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with("ttyUSB") && !name.starts_with("ttyACM") &&
            !name.starts_with("ttyS")) {
            continue;
        }
        if (!has_hardware(entry.path())) {
            continue;
        }
        const fs::path device = fs::path("/dev") / name;
        const auto named = by_id.find(device);
        ports.push_back({com_for(device, exe_dir), device.string(),
                         named != by_id.end() ? named->second : driver_name(entry.path())});
    }
    std::sort(ports.begin(), ports.end(), [](const auto& a, const auto& b) {
        return std::pair(!a.com, a.com.value_or(0)) < std::pair(!b.com, b.com.value_or(0));
    });
    return ports;
}

} // namespace zklog::device
