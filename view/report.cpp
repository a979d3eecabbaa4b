#include "view/report.h"

#include "view/log_source.h"
#include "view/report_document.h"
#include "view/report_log.h"

#include <SQLiteCpp/Exception.h>
#include <iostream>

namespace zklog::view {

QString default_report_title(const std::filesystem::path& database) {
    return QString::fromStdString(database.filename().string());
}

int report_to_file(const ReportRequest& request) {
    ReportLog log;
    try {
        SQLite::Database db = open_log_read_only(request.database);
        log = load_report_log(db);
    } catch (const LogSourceError& e) {
        std::cerr << "zklog-view: " << e.what() << "\n";
        return 1;
    } catch (const SQLite::Exception& e) {
        std::cerr << "zklog-view: "
                  << describe_engine_error(request.database, e.getErrorCode(), e.what()) << "\n";
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
