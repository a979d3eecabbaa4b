// What the commands that open a port share about --port: a serial port, or a Modbus TCP gateway
// (tcp://HOST[:PORT]), and what to tell the user when it fails.
#pragma once

#include "device/device_link.h"

#include <CLI/CLI.hpp>
#include <string>

namespace zklog::cli {

inline constexpr const char* kPortHelp =
    "COM port number, device path (/dev/ttyUSB0) or Modbus TCP gateway (tcp://HOST[:PORT])";

// --baud and --parity set a serial line: given with a network port they would be ignored, so
// they are refused (with the message on standard error). True when the command may go on.
bool serial_settings_fit_port(const std::string& port, const CLI::App& command);

// After "Erro ao abrir porta COM.", on standard error: why the gateway could not be reached,
// or the serial ports that do exist.
void tell_open_failure(const std::string& port, const device::DeviceLink& link);

// After "Erro ao ler o LOG", on standard error: the gateway's own exception that ended it,
// if that is what did.
void tell_read_failure(const std::string& port, const device::DeviceLink& link);

} // namespace zklog::cli
