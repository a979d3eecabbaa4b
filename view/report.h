// zklog-view --report: the service report of a log database written as a PDF, without a window.
#pragma once

#include <QString>
#include <filesystem>
#include <optional>

namespace zklog::view {

struct ReportRequest {
    std::filesystem::path database;
    QString output;
    std::optional<QString> title; // the file's name when not given
};

// Returns the exit code: 0 written, 1 with the reason on standard error and no output file.
int report_to_file(const ReportRequest& request);

// The title a report gets unless told otherwise.
QString default_report_title(const std::filesystem::path& database);

} // namespace zklog::view
