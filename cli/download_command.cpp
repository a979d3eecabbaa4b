#include "cli/commands.h"
#include "cli/console_frontend.h"
#include "device/port_path.h"
#include "download/block_reads.h"
#include "download/log_download.h"
#include "download/messages.h"

#include <iostream>

namespace zklog::cli {

namespace {

struct DownloadOptions {
    std::string port;
    std::string address;
    bool whole = false;
    bool fast = false;
    std::string database;
    std::string parity = "N";
    device::SerialSettings serial;
    int timeout_ms = 500;
};

int exit_code(download::DownloadResult result) {
    using download::DownloadResult;
    switch (result) {
    case DownloadResult::Completed:
        return kExitOk;
    case DownloadResult::PortOpenFailed:
    case DownloadResult::PointerReadFailed:
    case DownloadResult::RecordReadFailed:
        return kExitDeviceError;
    case DownloadResult::InvalidPort:
    case DownloadResult::InvalidAddress:
        return kExitUsage;
    case DownloadResult::EmptyLog:
        return kExitEmptyLog;
    case DownloadResult::DatabaseError:
        return kExitDatabaseError;
    case DownloadResult::Stopped:
        return kExitInterrupted;
    }
    return kExitDeviceError;
}

int run_download(DownloadOptions& options) {
    const std::filesystem::path db_path =
        options.database.empty() ? store::default_database_path(device::executable_dir())
                                 : std::filesystem::path(options.database);
    options.serial.response_timeout = std::chrono::milliseconds(options.timeout_ms);
    options.serial.parity = options.parity.front();
    try {
        store::LogDatabase database(db_path);
        device::DeviceLink link(options.serial);
        download::BlockReads block_reads(link);
        download::RecordByRecordReads record_reads(link);
        download::LogDownload procedure(
            link, database,
            options.fast ? static_cast<download::RecordWordSource&>(block_reads) : record_reads);
        ConsoleFrontend frontend(options.port, options.address, options.whole);
        ConsoleFrontend::stop_on_signals();
        return exit_code(procedure.run(frontend));
    } catch (const std::exception& error) {
        // Opening the database: its own text says what is wrong (missing file, no table LOG).
        std::cout << download::kMsgDatabaseError << error.what() << std::endl;
        return kExitDatabaseError;
    }
}

} // namespace

Subcommand add_download_command(CLI::App& app) {
    auto options = std::make_shared<DownloadOptions>();
    auto* cmd = app.add_subcommand("download", "Download the relay's log into table LOG.");
    cmd->add_option("--port,-p", options->port, "COM port number or device path (/dev/ttyUSB0)")
        ->required();
    cmd->add_option("--address,-a", options->address, "Modbus address of the relay (1-247)")
        ->required();
    cmd->add_flag("--whole", options->whole, "Read the whole log memory, not up to the pointer");
    cmd->add_flag("--fast", options->fast,
                  "Read the log memory in blocks of up to 125 registers (same rows, fewer reads)");
    cmd->add_option("--db", options->database,
                    "Database file (default: LOG_ZKA_ZKB.db next to zklog-cli)")
        ->check(kNonEmptyPath);
    // A bounded range: CLI::PositiveNumber names the largest double in its message.
    cmd->add_option("--baud", options->serial.baud, "Baud rate")
        ->capture_default_str()
        ->check(CLI::Range(1, 4000000));
    // Taken as text: as a char option, "NE" was refused with only "--parity: NE".
    cmd->add_option("--parity", options->parity, "Parity: N, E or O")
        ->capture_default_str()
        ->check(CLI::IsMember({"N", "E", "O"}));
    cmd->add_option("--timeout-ms", options->timeout_ms, "Response timeout in milliseconds")
        ->capture_default_str()
        ->check(CLI::Range(1, 60000));
    return {cmd, [options] { return run_download(*options); }};
}

} // namespace zklog::cli
