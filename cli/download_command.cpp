#include "cli/baud_option.h"
#include "cli/commands.h"
#include "cli/console_frontend.h"
#include "cli/port_option.h"
#include "device/port_path.h"
#include "download/block_reads.h"
#include "download/log_download.h"
#include "download/messages.h"

#include <charconv>
#include <iostream>
#include <optional>

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
    ConsoleFrontend::stop_on_signals();
    std::optional<store::LogDatabase> database;
    try {
        database.emplace(db_path);
    } catch (const std::exception& error) {
        // Its own text says what is wrong: missing file, no table LOG, write-protected.
        std::cout << download::kMsgDatabaseOpenFailed << error.what() << std::endl;
        return kExitDatabaseError;
    }
    device::DeviceLink link(options.serial);
    download::BlockReads block_reads(link);
    download::RecordByRecordReads record_reads(link);
    download::LogDownload procedure(
        link, *database,
        options.fast ? static_cast<download::RecordWordSource&>(block_reads) : record_reads);
    ConsoleFrontend frontend(options.port, options.address, options.whole);
    const download::DownloadResult result = procedure.run(frontend);
    if (result == download::DownloadResult::PortOpenFailed) {
        tell_open_failure(options.port, link);
    } else if (result == download::DownloadResult::PointerReadFailed ||
               result == download::DownloadResult::RecordReadFailed) {
        tell_read_failure(options.port, link);
    }
    if (!procedure.file_whole()) {
        std::cerr << "zklog-cli: aviso: outro programa impediu que todas as linhas fossem "
                     "gravadas no próprio arquivo "
                  << db_path.string() << "; elas estão no arquivo " << db_path.string()
                  << "-wal ao lado dele\n";
    }
    // However the signal found the download (between records, in a read, in a save), the
    // user asked it to stop: the rows saved so far stay, and the exit says it was stopped.
    // A signal after the last read stopped nothing: "Dados gravados com sucesso" was printed
    // and every row saved, so the exit says so too.
    if (ConsoleFrontend::stop_requested() && result != download::DownloadResult::Completed) {
        return kExitInterrupted;
    }
    return exit_code(result);
}

} // namespace

Subcommand add_download_command(CLI::App& app) {
    auto options = std::make_shared<DownloadOptions>();
    auto* cmd = app.add_subcommand("download", "Download the relay's log into table LOG.");
    cmd->add_option("--port,-p", options->port, kPortHelp)->required();
    cmd->add_option("--address,-a", options->address, "Modbus address of the relay (1-247)")
        ->required();
    cmd->add_flag("--whole", options->whole, "Read the whole log memory, not up to the pointer");
    cmd->add_flag("--fast", options->fast,
                  "Read the log memory in blocks of up to 125 registers (same rows, fewer reads)");
    cmd->add_option("--db", options->database,
                    "Database file (default: LOG_ZKA_ZKB.db next to zklog-cli)")
        ->check(kNonEmptyPath);
    cmd->add_option("--baud", options->serial.baud, "Baud rate (a standard rate, 50 to 4000000)")
        ->capture_default_str()
        ->check(kStandardBaud);
    // Taken as text: as a char option, "NE" was refused with only "--parity: NE".
    cmd->add_option("--parity", options->parity, "Parity: N, E or O")
        ->capture_default_str()
        ->check(CLI::IsMember({"N", "E", "O"}));
    cmd->add_option("--timeout-ms", options->timeout_ms, "Response timeout in milliseconds")
        ->capture_default_str()
        ->check(CLI::Range(1, 60000));
    return {cmd, [options, cmd] {
                return serial_settings_fit_port(options->port, *cmd) ? run_download(*options)
                                                                     : kExitUsage;
            }};
}

} // namespace zklog::cli
