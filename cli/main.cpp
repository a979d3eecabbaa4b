// zklog-cli: the relay log download without a window, for scripts and support.
#include "cli/commands.h"
#include "cli/console.h"

#include <cstdlib>
#include <exception>
#include <iostream>
#include <vector>

// The commands report their own failures; anything they leave uncaught (building the command
// line, memory) ends with a message and the generic failure status instead of an abort.
int main(int argc, char** argv) try {
    zklog::cli::prepare_console();
    CLI::App app{"Downloads the event log of a ZKA/ZKB temperature relay into LOG_ZKA_ZKB.db.",
                 "zklog-cli"};
    app.require_subcommand(1);
    // CLI11 reads "/name" as an option on Windows; here it is always a file, on every platform.
    app.allow_windows_style_options(false);
    const std::vector<zklog::cli::Subcommand> subcommands{
        zklog::cli::add_download_command(app), zklog::cli::add_export_command(app),
        zklog::cli::add_dump_command(app),     zklog::cli::add_init_db_command(app),
        zklog::cli::add_scan_command(app),     zklog::cli::add_ports_command(app),
    };
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? zklog::cli::kExitOk : zklog::cli::kExitUsage;
    }
    for (const auto& subcommand : subcommands) {
        if (subcommand.app->parsed()) {
            return subcommand.run();
        }
    }
    return zklog::cli::kExitUsage;
} catch (const std::exception& error) {
    std::cerr << "zklog-cli: " << error.what() << '\n';
    return EXIT_FAILURE;
}
