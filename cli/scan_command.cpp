#include "cli/baud_option.h"
#include "cli/bus_scan.h"
#include "cli/commands.h"
#include "cli/port_option.h"
#include "download/input_text.h"
#include "download/messages.h"

#include <iostream>
#include <modbus/modbus.h>
#include <unistd.h>

namespace zklog::cli {

namespace {

struct ScanOptions {
    std::string port;
    BusScanSettings scan;
    int timeout_ms = 100;
    std::string parity = "N";
    device::SerialSettings serial;
};

void report_device_without_pointer(const ScanAnswer& answer) {
    std::cerr << "address " << answer.address << ": "
              << (answer.reply == ScanReply::Exception ? "exception reply" : "garbled reply")
              << " (" << modbus_strerror(answer.error) << "), no log pointer\n";
}

int run_scan(ScanOptions& options) {
    if (options.scan.first_address > options.scan.last_address) {
        std::cerr << "zklog-cli: --from " << options.scan.first_address << " is above --to "
                  << options.scan.last_address << "\n";
        return kExitUsage;
    }
    const auto port = download::parse_port(options.port, true);
    if (!port) {
        std::cout << download::kMsgInvalidPort << std::endl;
        return kExitUsage;
    }
    options.scan.timeout = std::chrono::milliseconds(options.timeout_ms);
    options.serial.parity = options.parity.front();
    device::DeviceLink link(scan_line_settings(options.serial, options.scan));
    if (download::open_port(link, *port) != device::DeviceLink::kOpenOk) {
        std::cout << download::kMsgPortOpenFailed << std::endl;
        tell_open_failure(options.port, link);
        return kExitDeviceError;
    }

    const bool show_progress = isatty(STDERR_FILENO) == 1;
    const auto progress = [&](std::uint32_t address) {
        if (show_progress) {
            std::cerr << "\rscanning address " << address << " of " << options.scan.last_address
                      << std::flush;
        }
    };
    const auto on_answer = [&](const ScanAnswer& answer) {
        if (show_progress) {
            std::cerr << "\r\033[K";
        }
        if (answer.reply == ScanReply::LogPointer) {
            std::cout << answer.address << ' ' << answer.pointer << std::endl;
        } else {
            report_device_without_pointer(answer);
        }
    };
    const ScanOutcome outcome = scan_bus(link, options.scan, on_answer, progress);
    if (show_progress) {
        std::cerr << "\r\033[K" << std::flush;
    }
    // The addresses after a lost port were never asked: the scan did not find what is there.
    if (outcome.port_lost) {
        std::cout << download::kMsgReadFailed << std::endl;
        return kExitDeviceError;
    }
    return outcome.relays > 0 ? kExitOk : kExitDeviceError;
}

} // namespace

Subcommand add_scan_command(CLI::App& app) {
    auto options = std::make_shared<ScanOptions>();
    auto* cmd = app.add_subcommand(
        "scan",
        "Ask every address of a range for its log pointer; print ADDRESS POINTER per relay.");
    cmd->add_option("--port,-p", options->port, kPortHelp)->required();
    cmd->add_option("--from", options->scan.first_address, "First address to ask")
        ->capture_default_str()
        ->check(CLI::Range(1, 247));
    cmd->add_option("--to", options->scan.last_address, "Last address to ask")
        ->capture_default_str()
        ->check(CLI::Range(1, 247));
    cmd->add_option("--timeout-ms", options->timeout_ms, "How long each address may take to answer")
        ->capture_default_str()
        ->check(CLI::Range(1, 60000));
    cmd->add_option("--baud", options->serial.baud, "Baud rate (a standard rate, 50 to 4000000)")
        ->capture_default_str()
        ->check(kStandardBaud);
    cmd->add_option("--parity", options->parity, "Parity: N, E or O")
        ->capture_default_str()
        ->check(CLI::IsMember({"N", "E", "O"}));
    return {cmd, [options, cmd] {
                return serial_settings_fit_port(options->port, *cmd) ? run_scan(*options)
                                                                     : kExitUsage;
            }};
}

} // namespace zklog::cli
