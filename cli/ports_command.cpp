// zklog-cli ports: the serial ports of this machine, one a line, so that a technician finds the
// relay's COM number without the Device Manager; and the same list on standard error when a
// port cannot be opened.
#include "cli/commands.h"
#include "device/port_path.h"
#include "device/serial_ports.h"

#include <iostream>

namespace zklog::cli {

namespace {

void print_ports(const std::vector<device::SerialPortInfo>& ports, std::ostream& out,
                 const std::string& indent) {
    for (const auto& port : ports) {
        out << indent << (port.com ? "COM" + std::to_string(*port.com) : std::string("-")) << '\t'
            << port.device;
        if (!port.description.empty()) {
            out << '\t' << port.description;
        }
        out << '\n';
    }
}

} // namespace

void tell_existing_ports() {
    const auto ports = device::serial_ports(device::executable_dir());
    if (ports.empty()) {
        std::cerr << "zklog-cli: este computador não tem nenhuma porta serial\n";
        return;
    }
    std::cerr << "zklog-cli: portas seriais deste computador:\n";
    print_ports(ports, std::cerr, "  ");
}

Subcommand add_ports_command(CLI::App& app) {
    auto* cmd = app.add_subcommand(
        "ports", "List this machine's serial ports: the COM number, the device and what the "
                 "adapter says it is.");
    return {cmd, [] {
                print_ports(device::serial_ports(device::executable_dir()), std::cout, "");
                return kExitOk;
            }};
}

} // namespace zklog::cli
