// The service report as a PDF: the figures on A4 portrait pages, then the charts as the viewer
// draws them on a landscape page, all vector.
#pragma once

#include "view/report_figures.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace zklog::view {

struct ReportHeading {
    QString title;
    QString file_name;
    QDateTime made_at;
};

// The first pages, the figures, as rich text; the events and the charts follow.
QString report_html(const ReportLog& log, const ReportFigures& figures,
                    const ReportHeading& heading);

// Writes the report to `path`, beside it first and renamed, so a failure leaves no file.
// Returns the Portuguese reason on failure.
std::optional<QString> write_report_pdf(const ReportLog& log, const ReportHeading& heading,
                                        const QString& path);

} // namespace zklog::view
