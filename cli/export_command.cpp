#include "cli/commands.h"
#include "cli/console.h"
#include "device/port_path.h"
#include "store/csv_writer.h"
#include "store/log_database.h"
#include "store/log_export.h"

#include <SQLiteCpp/Exception.h>
#include <iostream>

namespace zklog::cli {

namespace {

struct ExportOptions {
    std::string database;
    std::string output;
};

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
        SQLite::Statement query = store::select_log(db);
        store::export_log(query, options.output);
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
    auto* cmd = app.add_subcommand(
        "export", "Write table LOG as CSV, or as an Excel workbook when the file ends in .xlsx.");
    cmd->add_option("--db", options->database,
                    "Database file (default: LOG_ZKA_ZKB.db next to zklog-cli)")
        ->check(kNonEmptyPath);
    cmd->add_option("-o,--output", options->output,
                    "CSV file, or an Excel workbook for a name ending in .xlsx (default: CSV on "
                    "standard output)")
        ->check(kNonEmptyPath);
    return {cmd, [options] { return run_export(*options); }};
}

} // namespace zklog::cli
