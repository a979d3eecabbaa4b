#include "cli/commands.h"
#include "cli/console.h"
#include "device/port_path.h"
#include "store/csv_writer.h"
#include "store/log_database.h"

#include <SQLiteCpp/Exception.h>
#include <fstream>
#include <iostream>

namespace zklog::cli {

namespace {

struct ExportOptions {
    std::string database;
    std::string output;
};

// Written beside the target and renamed, so a failed export never leaves half a file, nor the
// part it wrote.
void export_to_file(SQLite::Database& db, const std::filesystem::path& target) {
    const std::filesystem::path partial = target.string() + ".partial";
    std::ofstream file(partial, std::ios::binary | std::ios::trunc);
    if (!file) {
        throw std::runtime_error("cannot write " + partial.string());
    }
    try {
        store::write_log_csv(db, file);
        file.close();
        if (!file) {
            throw std::runtime_error("cannot write " + partial.string());
        }
        std::filesystem::rename(partial, target);
    } catch (...) {
        file.close();
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        throw;
    }
}

int run_export(const ExportOptions& options) {
    const std::filesystem::path db_path =
        options.database.empty() ? store::default_database_path(device::executable_dir())
                                 : std::filesystem::path(options.database);
    try {
        SQLite::Database db(db_path.string(), SQLite::OPEN_READONLY);
        if (options.output.empty()) {
            // The CSV's own CRLF line ends, not doubled into CR CR LF by a text-mode stream.
            binary_stdout();
            store::write_log_csv(db, std::cout);
            std::cout.flush();
            return std::cout ? kExitOk : kExitDatabaseError;
        }
        export_to_file(db, options.output);
        return kExitOk;
    } catch (const SQLite::Exception& error) {
        // The engine's text alone ("disk I/O error" for a folder) does not say which file.
        std::cerr << "zklog-cli: " << db_path.string() << ": " << error.what() << "\n";
        return kExitDatabaseError;
    } catch (const std::exception& error) {
        std::cerr << "zklog-cli: " << error.what() << "\n";
        return kExitDatabaseError;
    }
}

} // namespace

Subcommand add_export_command(CLI::App& app) {
    auto options = std::make_shared<ExportOptions>();
    auto* cmd = app.add_subcommand("export", "Write table LOG as CSV.");
    cmd->add_option("--db", options->database,
                    "Database file (default: LOG_ZKA_ZKB.db next to zklog-cli)")
        ->check(kNonEmptyPath);
    cmd->add_option("-o,--output", options->output, "CSV file (default: standard output)")
        ->check(kNonEmptyPath);
    return {cmd, [options] { return run_export(*options); }};
}

} // namespace zklog::cli
