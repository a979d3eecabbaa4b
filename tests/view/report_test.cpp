// The service report as its reader gets it: the PDF of zklog-view --report and of the window's
// "Relatório…", read back as text with pdftotext.
#include "tests/support/temp_dir.h"
#include "tests/view/log_files.h"
#include "tests/view/simulated_log.h"
#include "tests/view/view_process.h"
#include "view/log_source.h"
#include "view/main_window.h"
#include "view/report_document.h"
#include "view/report_log.h"
#include "view/report_text.h"

#include <QAction>
#include <QCheckBox>
#include <QProcess>
#include <QRegularExpression>
#include <fstream>
#include <gtest/gtest.h>

namespace zklog::view {
namespace {

QString name_of(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A line of the page holding `cells` in this order, with only blanks between them.
bool has_row(const QString& text, const QStringList& cells) {
    QStringList escaped;
    for (const QString& each : cells) {
        escaped << QRegularExpression::escape(each);
    }
    const QRegularExpression row(QStringLiteral("(^|\\s)") + escaped.join(QStringLiteral("\\s+")) +
                                     QStringLiteral("(\\s|$)"),
                                 QRegularExpression::MultilineOption);
    return row.match(text).hasMatch();
}

QString stamp_or_record(const ReportLog& log, const ReportFigures& figures, std::size_t record) {
    return figures.stamps[record]
               ? stamp_text(*figures.stamps[record])
               : QStringLiteral("sem data (registro %1)").arg(log.data.rowids[record]);
}

QStringList differing_lines(const QString& a, const QString& b) {
    const QStringList left = a.split('\n');
    const QStringList right = b.split('\n');
    QStringList differ;
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const QString one = left.value(i);
        const QString other = right.value(i);
        if (one != other) {
            differ << one + QStringLiteral(" | ") + other;
        }
    }
    return differ;
}

QString path_text(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// What the reader should find in the row of `event`: when, the record, and what happened.
QStringList event_cells(const ReportLog& log, const ReportFigures& figures,
                        const ReportEvent& event) {
    QString what;
    switch (event.kind) {
    case EventKind::PowerUp:
        what = event.gap_seconds ? QStringLiteral("Power Up, %1 desde o registro anterior")
                                       .arg(duration_text(*event.gap_seconds))
                                 : QStringLiteral("Power Up");
        break;
    case EventKind::SensorFault:
        what = QStringLiteral("Falha do sensor %1 até %2")
                   .arg(name_of(kTemperatureFields[event.field]),
                        stamp_or_record(log, figures, event.until_record));
        break;
    case EventKind::ChecksumFailure:
        what = QString::fromUtf8("CRC inválido");
        break;
    }
    return {stamp_or_record(log, figures, event.record),
            QString::number(log.data.rowids[event.record]), what};
}

class ReportTest : public ::testing::Test {
protected:
    test::TempDir dir_;
    std::filesystem::path db_path_ = dir_.file("LOG_ZKA_ZKB.db");
};

TEST_F(ReportTest, CommandWritesEveryFigureWhereTheReaderFindsIt) {
    test::write_simulated_log(dir_, db_path_, 300, 7,
                              {.layout = sim::LogLayout::Wrapped,
                               .bad_stamp_share = 0.02,
                               .bad_checksum_share = 0.03,
                               .sensor_fault = true});
    const auto out = dir_.file("relatório.pdf");
    const QString title = QString::fromUtf8("Visita à subestação Norte");
    const auto run =
        test::run_view({"--report", path_text(out), "--title", title, path_text(db_path_)});
    ASSERT_EQ(run.exit_code, 0) << run.err.toStdString();
    const QString text = test::pdf_text(out);
    ASSERT_FALSE(text.isEmpty()) << "pdftotext (poppler-utils) read nothing";

    SQLite::Database db = open_log_read_only(db_path_);
    const ReportLog log = load_report_log(db);
    const ReportFigures figures = compute_report_figures(log);
    ASSERT_GT(figures.checksum_failures, 0U);
    ASSERT_GT(figures.unstamped, 0U);
    EXPECT_TRUE(text.contains(title));
    EXPECT_TRUE(has_row(text, {"Arquivo", "LOG_ZKA_ZKB.db"}));
    EXPECT_TRUE(has_row(text, {"Período", stamp_text(*figures.stamps[*figures.first_stamped]), "a",
                               stamp_text(*figures.stamps[*figures.last_stamped])}));
    EXPECT_TRUE(has_row(text, {"Registros", QString::number(figures.records)}));
    EXPECT_TRUE(has_row(
        text, {"Com CRC inválido (CRC_Valido 0)", QString::number(figures.checksum_failures)}));
    EXPECT_TRUE(has_row(text, {"Sem data e hora válidas", QString::number(figures.unstamped)}));
    ASSERT_EQ(figures.readings.size(), kTemperatureFields.size());
    for (const auto& reading : figures.readings) {
        EXPECT_TRUE(has_row(
            text, {name_of(kTemperatureFields[reading.field]), temperature_text(reading.minimum),
                   temperature_text(reading.mean), temperature_text(reading.maximum),
                   stamp_or_record(log, figures, reading.maximum_record),
                   QString::number(reading.readings)}))
            << kTemperatureFields[reading.field];
    }
    for (std::size_t relay = 0; relay < figures.relays.size(); ++relay) {
        const RelayFigures& each = figures.relays[relay];
        QStringList row{QStringLiteral("RL%1").arg(relay + 1), QString::number(each.operations),
                        duration_text(each.seconds_on)};
        if (each.longest_from) {
            row << duration_text(each.longest_seconds)
                << stamp_or_record(log, figures, *each.longest_from);
        }
        EXPECT_TRUE(has_row(text, row)) << row.join(' ').toStdString();
    }
    for (const auto& [cause, records] : figures.causes) {
        EXPECT_TRUE(has_row(text, {QString::fromStdString(cause), QString::number(records)}))
            << cause;
    }
    for (const auto& event : figures.events) {
        EXPECT_TRUE(has_row(text, event_cells(log, figures, event)));
    }
    EXPECT_TRUE(text.contains(QStringLiteral("Falha do sensor RTD1 até")));
    // The charts are drawn as vector: their labels are text too.
    EXPECT_TRUE(text.contains(QStringLiteral("Relés ativos")));

    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {path_text(out)});
    info.waitForFinished(30'000);
    EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput()).contains("595 x 842 pts (A4)"));
}

TEST_F(ReportTest, EveryEventIsListedOnceInOrderUnderTheColumnNamesOfEachPage) {
    test::write_simulated_log(dir_, db_path_, 900, 11,
                              {.layout = sim::LogLayout::Wrapped,
                               .bad_stamp_share = 0.05,
                               .bad_checksum_share = 0.2,
                               .sensor_fault = true});
    const auto out = dir_.file("r.pdf");
    const auto run = test::run_view({"--report", path_text(out), path_text(db_path_)});
    ASSERT_EQ(run.exit_code, 0) << run.err.toStdString();
    SQLite::Database db = open_log_read_only(db_path_);
    const ReportLog log = load_report_log(db);
    const ReportFigures figures = compute_report_figures(log);

    // pdftotext ends every page with a form feed.
    QStringList pages = test::pdf_text(out).split(QChar('\f'));
    pages.removeLast();
    QStringList rows;
    int event_pages = 0;
    for (qsizetype page = 0; page < pages.size(); ++page) {
        EXPECT_TRUE(
            pages[page].contains(QStringLiteral("página %1 de %2").arg(page + 1).arg(pages.size())))
            << "page " << page + 1;
        QStringList lines = pages[page].split('\n');
        const auto header = std::find_if(lines.begin(), lines.end(), [](const QString& line) {
            return has_row(line, {"Data e hora", "Registro", "Evento"});
        });
        if (header == lines.end()) {
            continue;
        }
        ++event_pages;
        for (auto line = header + 1; line != lines.end(); ++line) {
            if (!line->trimmed().isEmpty() && !line->contains(QString::fromUtf8("página"))) {
                rows << *line;
            }
        }
    }
    ASSERT_GE(event_pages, 3) << "the log should hold events for several pages";
    ASSERT_EQ(rows.size(), static_cast<qsizetype>(figures.events.size()));
    for (std::size_t event = 0; event < figures.events.size(); ++event) {
        const QStringList cells = event_cells(log, figures, figures.events[event]);
        EXPECT_TRUE(has_row(rows[static_cast<qsizetype>(event)], cells))
            << event << ": " << rows[static_cast<qsizetype>(event)].toStdString() << " | "
            << cells.join(' ').toStdString();
    }
}

TEST_F(ReportTest, TwoReportsOfOneFileDifferOnlyInWhenTheyWereMade) {
    test::write_simulated_log(dir_, db_path_, 200, 3, {.bad_checksum_share = 0.05});
    SQLite::Database db = open_log_read_only(db_path_);
    const ReportLog log = load_report_log(db);
    const QDateTime first(QDate(2026, 3, 4), QTime(10, 20, 30));
    const QDateTime second(QDate(2027, 11, 12), QTime(8, 9, 10));
    for (const auto& [name, when] : {std::pair{"a.pdf", first}, std::pair{"b.pdf", second}}) {
        ASSERT_FALSE(write_report_pdf(log, {"Relatório", "LOG_ZKA_ZKB.db", when},
                                      path_text(dir_.file(name))));
    }
    const QStringList differ =
        differing_lines(test::pdf_text(dir_.file("a.pdf")), test::pdf_text(dir_.file("b.pdf")));
    ASSERT_EQ(differ.size(), 1) << differ.join('\n').toStdString();
    EXPECT_TRUE(differ.front().contains(QStringLiteral("Gerado em")));
    EXPECT_TRUE(differ.front().contains(QStringLiteral("04/03/2026 10:20:30")));
    EXPECT_TRUE(differ.front().contains(QStringLiteral("12/11/2027 08:09:10")));
}

TEST_F(ReportTest, TheWindowReportsTheRowsAsFiltered) {
    test::write_simulated_log(dir_, db_path_, 200, 5, {.bad_checksum_share = 0.1});
    MainWindow window;
    window.open_file(db_path_);
    window.crc_filter().setChecked(true);
    const auto from_window = dir_.file("janela.pdf");
    ASSERT_FALSE(
        window.write_report(QStringLiteral("Só os CRC inválidos"), path_text(from_window)));

    SQLite::Database db = open_log_read_only(db_path_);
    LogFilter crc;
    crc.crc_mismatch = true;
    const ReportLog log = load_report_log(db, crc);
    ASSERT_GT(log.data.size(), 0U);
    const auto expected = dir_.file("esperado.pdf");
    ASSERT_FALSE(write_report_pdf(
        log,
        {QStringLiteral("Só os CRC inválidos"), "LOG_ZKA_ZKB.db", QDateTime::currentDateTime()},
        path_text(expected)));
    const QString text = test::pdf_text(from_window);
    EXPECT_TRUE(has_row(text, {"Registros", QString::number(log.data.size())}));
    EXPECT_TRUE(
        has_row(text, {"Com CRC inválido (CRC_Valido 0)", QString::number(log.data.size())}));
    EXPECT_LE(differing_lines(text, test::pdf_text(expected)).size(), 1);
}

TEST_F(ReportTest, TheWindowOffersTheReportOnCtrlR) {
    MainWindow window;
    const auto actions = window.findChildren<QAction*>();
    const auto found = std::find_if(actions.begin(), actions.end(), [](const QAction* action) {
        return action->text() == QString::fromUtf8("Relatório…");
    });
    ASSERT_NE(found, actions.end());
    EXPECT_EQ((*found)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
}

TEST_F(ReportTest, CommandLineMistakesAreRefusedWithTheUsage) {
    test::write_simulated_log(dir_, db_path_, 20, 1, {});
    const QString db = path_text(db_path_);
    const QString out = path_text(dir_.file("r.pdf"));
    for (const QStringList& args : {QStringList{"--report"}, QStringList{"--title", "x", db},
                                    QStringList{"--report", out, "--render", out, db},
                                    QStringList{"--report", out, "--title"}}) {
        const auto run = test::run_view(args);
        EXPECT_EQ(run.exit_code, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("uso: zklog-view"))) << run.err.toStdString();
        EXPECT_FALSE(std::filesystem::exists(dir_.file("r.pdf")));
    }
}

TEST_F(ReportTest, AnOutputThatCannotBeWrittenIsSaidAndLeavesNothing) {
    test::write_simulated_log(dir_, db_path_, 20, 1, {});
    const auto out = dir_.file("falta") / "r.pdf";
    const auto run = test::run_view({"--report", path_text(out), path_text(db_path_)});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_TRUE(run.err.contains(QString::fromUtf8("Não foi possível gravar")))
        << run.err.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir_.file("falta")));
}

struct BadReport {
    const char* name;
    std::function<std::shared_ptr<void>(const std::filesystem::path&)> make;
    const char* message;
};

class BadReportTest : public ::testing::TestWithParam<BadReport> {};

TEST_P(BadReportTest, ExitsOneWithTheViewersMessageAndNoPdf) {
    test::TempDir dir;
    const auto input = dir.file("LOG_ZKA_ZKB.db");
    const auto keep = GetParam().make(input);
    const auto out = dir.file("r.pdf");
    const auto run = test::run_view({"--report", path_text(out), path_text(input)});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_TRUE(run.err.contains(QString::fromUtf8(GetParam().message))) << run.err.toStdString();
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(dir.file("r.pdf.partial")));
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadReportTest,
    ::testing::Values(BadReport{"missing", [](const auto&) { return std::shared_ptr<void>(); },
                                "Arquivo não encontrado"},
                      BadReport{"foreign",
                                [](const auto& path) {
                                    std::ofstream(path) << "isto não é um banco";
                                    return std::shared_ptr<void>();
                                },
                                "não é um banco de dados"},
                      BadReport{"locked", test::locked_log_file,
                                "está bloqueado por outro programa"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zklog::view
