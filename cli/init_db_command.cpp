#include "cli/commands.h"
#include "device/port_path.h"
#include "store/log_database.h"

#include <iostream>

namespace zklog::cli {

Subcommand add_init_db_command(CLI::App& app) {
    auto* cmd = app.add_subcommand("init-db", "Create a new, empty log database.");
    auto path = std::make_shared<std::string>();
    cmd->add_option("path", *path, "Database file (default: LOG_ZKA_ZKB.db next to zklog-cli)")
        ->check(kNonEmptyPath);
    return {cmd, [path] {
                const std::filesystem::path target =
                    path->empty() ? store::default_database_path(device::executable_dir())
                                  : std::filesystem::path(*path);
                try {
                    store::create_database(target);
                } catch (const std::exception& error) {
                    std::cerr << "zklog-cli: " << error.what() << "\n";
                    return kExitDatabaseError;
                }
                std::cout << target.string() << "\n";
                return kExitOk;
            }};
}

} // namespace zklog::cli
