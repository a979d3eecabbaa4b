// zklog-view run as a script runs it, and its PDFs read back as text.
#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>

namespace zklog::test {

struct ViewRun {
    int exit_code = -1;
    QString err;
};

// A real process, off screen, with no display at all.
ViewRun run_view(const QStringList& args);

// The text of a PDF as pdftotext (poppler-utils) reads it, by default laid out in lines as on
// the page.
QString pdf_text(const std::filesystem::path& pdf,
                 const QStringList& options = {QStringLiteral("-layout")});

} // namespace zklog::test
