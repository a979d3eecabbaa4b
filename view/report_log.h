// The records a report covers, read from table LOG: all of them, or the rows a filter leaves.
#pragma once

#include "view/log_filter.h"
#include "view/report_figures.h"

#include <SQLiteCpp/Database.h>

namespace zklog::view {

// Reads in one transaction, so a download saving rows meanwhile cannot split the picture.
// Throws SQLite::Exception.
ReportLog load_report_log(SQLite::Database& db, const LogFilter& filter = {});

} // namespace zklog::view
