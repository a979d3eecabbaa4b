#include "tests/view/view_process.h"

#include <QProcess>

namespace zklog::test {

ViewRun run_view(const QStringList& args) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY")); // headless must work without any screen
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(ZKLOG_VIEW_PATH), args);
    process.waitForFinished(60'000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError())};
}

QString pdf_text(const std::filesystem::path& pdf, const QStringList& options) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  options + QStringList{QString::fromStdString(pdf.string()), QStringLiteral("-")});
    process.waitForFinished(60'000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace zklog::test
