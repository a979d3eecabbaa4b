// The subcommands of zklog-cli. Each registers its options and returns its exit code.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>

namespace zklog::cli {

// Exit codes a script may rely on.
inline constexpr int kExitOk = 0;
inline constexpr int kExitDeviceError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitEmptyLog = 3;
inline constexpr int kExitDatabaseError = 4;
inline constexpr int kExitInterrupted = 130;

// For file options: an empty value (an unset variable in a script) would otherwise stand for
// the default file, or for standard output, without a word.
inline const CLI::Validator kNonEmptyPath(
    [](const std::string& text) { return text.empty() ? std::string("empty file name") : ""; },
    "FILE");

struct Subcommand {
    CLI::App* app;
    std::function<int()> run; // called when the command line chose this subcommand
};

Subcommand add_download_command(CLI::App& app);
Subcommand add_export_command(CLI::App& app);
Subcommand add_dump_command(CLI::App& app);
Subcommand add_init_db_command(CLI::App& app);
Subcommand add_scan_command(CLI::App& app);
Subcommand add_ports_command(CLI::App& app);

// After "Erro ao abrir porta COM.": the ports that do exist, on standard error.
void tell_existing_ports();

} // namespace zklog::cli
