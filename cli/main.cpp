// zklog-cli: the relay log download without a window, for scripts and support.
#include "cli/commands.h"

#include <vector>

int main(int argc, char** argv) {
    CLI::App app{"Downloads the event log of a ZKA/ZKB temperature relay into LOG_ZKA_ZKB.db.",
                 "zklog-cli"};
    app.require_subcommand(1);
    const std::vector<zklog::cli::Subcommand> subcommands{
        zklog::cli::add_download_command(app),
        zklog::cli::add_export_command(app),
        zklog::cli::add_dump_command(app),
        zklog::cli::add_init_db_command(app),
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
}
