#include "cli/commands.h"
#include "cli/port_option.h"
#include "device/device_link.h"
#include "download/input_text.h"
#include "download/log_download.h"
#include "download/messages.h"
#include "sim/relay_image.h"

#include <algorithm>
#include <iostream>

namespace zklog::cli {

namespace {

// The end of the last record that may start in the log memory (a 25-word record at 18120).
constexpr std::uint32_t kLogMemoryEnd = 18144;
// A support dump is worth a second try per block: one lost reply must not spoil the file.
constexpr int kAttemptsPerBlock = 3;

struct DumpOptions {
    std::string port;
    std::string address;
    std::string output;
    int timeout_ms = 500;
};

bool read_block(device::DeviceLink& link, std::uint32_t address, std::uint32_t first,
                std::uint32_t count, int attempts) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (link.modbus_rd(address, first, count) == device::DeviceLink::kReadOk) {
            return true;
        }
    }
    return false;
}

int run_dump(const DumpOptions& options) {
    const auto port = download::parse_port(options.port, true);
    if (!port) {
        std::cout << download::kMsgInvalidPort << std::endl;
        return kExitUsage;
    }
    const auto address = download::parse_device_address(options.address);
    if (!address) {
        std::cout << download::kMsgInvalidAddress << std::endl;
        return kExitUsage;
    }
    device::SerialSettings line;
    line.response_timeout = std::chrono::milliseconds(options.timeout_ms);
    device::DeviceLink link(line);
    if (download::open_port(link, *port) != device::DeviceLink::kOpenOk) {
        std::cout << download::kMsgPortOpenFailed << std::endl;
        tell_open_failure(options.port, link);
        return kExitDeviceError;
    }

    sim::RelayImage image;
    if (!read_block(link, *address, download::kLogPointerRegister, 1,
                    download::kPointerRetries + 1)) {
        std::cout << download::kMsgReadFailed << std::endl;
        tell_read_failure(options.port, link);
        return kExitDeviceError;
    }
    image.set_pointer(static_cast<std::uint16_t>(link.modbus_var(0)));
    for (std::uint32_t first = download::kLogStart; first <= kLogMemoryEnd;) {
        const std::uint32_t count =
            std::min(device::DeviceLink::kMaxWords, kLogMemoryEnd + 1 - first);
        if (!read_block(link, *address, first, count, kAttemptsPerBlock)) {
            std::cout << download::kMsgReadFailed << std::endl;
            tell_read_failure(options.port, link);
            return kExitDeviceError;
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            image.set_word(first + i, static_cast<std::uint16_t>(link.modbus_var(i)));
        }
        first += count;
    }
    try {
        image.save(options.output);
    } catch (const std::exception& error) {
        std::cerr << "zklog-cli: " << error.what() << "\n";
        return kExitDatabaseError;
    }
    std::cout << options.output << std::endl;
    return kExitOk;
}

} // namespace

Subcommand add_dump_command(CLI::App& app) {
    auto options = std::make_shared<DumpOptions>();
    auto* cmd = app.add_subcommand(
        "dump", "Save the relay's log pointer and log memory as a memory image for zklog-sim.");
    cmd->add_option("--port,-p", options->port, kPortHelp)->required();
    cmd->add_option("--address,-a", options->address, "Modbus address of the relay (1-247)")
        ->required();
    cmd->add_option("-o,--output", options->output, "Memory image file to write")
        ->required()
        ->check(kNonEmptyPath);
    cmd->add_option("--timeout-ms", options->timeout_ms, "Response timeout in milliseconds")
        ->capture_default_str()
        ->check(CLI::Range(1, 60000));
    return {cmd, [options] { return run_dump(*options); }};
}

} // namespace zklog::cli
