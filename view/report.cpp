#include "view/report.h"

#include "view/log_reading.h"
#include "view/report_document.h"
#include "view/report_log.h"

#include <iostream>

namespace zklog::view {

QString default_report_title(const std::filesystem::path& database) {
    return QString::fromStdString(database.filename().string());
}

int report_to_file(const ReportRequest& request) {
    ReportLog log;
    if (const auto error = read_log_file(
            request.database, [&log](SQLite::Database& db) { log = load_report_log(db); })) {
        std::cerr << "zklog-view: " << *error << "\n";
        return 1;
    }
    const ReportHeading heading{request.title.value_or(default_report_title(request.database)),
                                default_report_title(request.database),
                                QDateTime::currentDateTime()};
    if (const auto error = write_report_pdf(log, heading, request.output)) {
        std::cerr << "zklog-view: " << error->toStdString() << "\n";
        return 1;
    }
    return 0;
}

} // namespace zklog::view
