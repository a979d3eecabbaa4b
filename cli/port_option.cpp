#include "cli/port_option.h"

#include "cli/commands.h"
#include "device/network_port.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <modbus/modbus.h>

namespace zklog::cli {

bool serial_settings_fit_port(const std::string& port, const CLI::App& command) {
    if (!device::is_network_port(port)) {
        return true;
    }
    for (const char* option : {"--baud", "--parity"}) {
        if (command.count(option) > 0) {
            std::cerr << "zklog-cli: " << option << " is a serial line setting; a network port ("
                      << port << ") has none\n";
            return false;
        }
    }
    return true;
}

void tell_open_failure(const std::string& port, const device::DeviceLink& link) {
    if (!device::is_network_port(port)) {
        tell_existing_ports();
        return;
    }
    const std::string& why = link.open_failure();
    std::cerr << "zklog-cli: não foi possível conectar a " << port << ": "
              << (why.empty() ? std::string("endereço inválido") : why) << '\n';
}

void tell_read_failure(const std::string& port, const device::DeviceLink& link) {
    const int error = link.last_error();
    if (!device::is_network_port(port) || error < EMBXILFUN || error > EMBXGTAR) {
        return;
    }
    std::array<char, 8> code{};
    std::snprintf(code.data(), code.size(), "0x%02X", error - MODBUS_ENOBASE);
    std::cerr << "zklog-cli: " << port << " answered with exception " << code.data() << " ("
              << modbus_strerror(error) << ")\n";
}

} // namespace zklog::cli
