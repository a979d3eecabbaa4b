// zklog-view --render as a script runs it: a real process, off screen.
#include "tests/support/temp_dir.h"
#include "tests/view/log_files.h"
#include "tests/view/view_process.h"
#include "view/chart_export.h"
#include "view/log_source.h"

#include <QImage>
#include <QProcess>
#include <QSet>
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

namespace zklog::test {

inline std::vector<FieldValues> some_rows(int count) {
    std::vector<FieldValues> rows;
    for (int i = 0; i < count; ++i) {
        auto row = stamped_row("1/2/24", "10:" + std::to_string(i % 60) + ":0", 40 + (i % 7) * 3.5,
                               i % 3 == 0 ? "| RL1| RL4" : "");
        row.emplace_back("Dif Filtrado1", (i % 5) * 0.25);
        rows.push_back(row);
    }
    return rows;
}

TEST(Render, WritesAPictureOfTheRequestedSizeThatIsNotBlank) {
    TempDir dir;
    write_log_file(dir.file("log.db"), some_rows(50));
    const QString out = QString::fromStdString(dir.file("chart.png").string());
    const auto run = run_view({"--render", out, "--size", "800x500",
                               QString::fromStdString(dir.file("log.db").string())});
    ASSERT_EQ(run.exit_code, 0) << run.err.toStdString();
    QImage image(out);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(800, 500));
    QSet<QRgb> colours;
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            colours.insert(pixel);
            inked += pixel != qRgb(255, 255, 255) ? 1 : 0;
        }
    }
    EXPECT_GT(colours.size(), 20);
    EXPECT_GT(inked, image.width() * image.height() / 50);
}

TEST(Render, DefaultSizeAndTheOtherFormats) {
    TempDir dir;
    write_log_file(dir.file("log.db"), some_rows(10));
    const QString db = QString::fromStdString(dir.file("log.db").string());
    const QString png = QString::fromStdString(dir.file("a.png").string());
    ASSERT_EQ(run_view({"--render", png, db}).exit_code, 0);
    EXPECT_EQ(QImage(png).size(), QSize(1200, 700));
    for (const char* name : {"a.svg", "a.pdf"}) {
        const auto path = dir.file(name);
        ASSERT_EQ(run_view({"--render", QString::fromStdString(path.string()), db}).exit_code, 0)
            << name;
        const std::string bytes = file_bytes(path);
        EXPECT_TRUE(bytes.starts_with("<?xml") || bytes.starts_with("%PDF")) << name;
    }
}

struct BadRender {
    const char* name;
    const char* file; // made as: "missing", "text", "empty_sqlite"
    const char* size;
    const char* output;
    const char* message;
};

class BadRenderTest : public ::testing::TestWithParam<BadRender> {};

TEST_P(BadRenderTest, ExitsOneWithAMessageAndNoFile) {
    TempDir dir;
    const auto& c = GetParam();
    const auto input = dir.file("input.db");
    if (std::string(c.file) == "text") {
        std::ofstream(input) << "isto não é um banco";
    } else if (std::string(c.file) == "good") {
        write_log_file(input, some_rows(3));
    }
    const QString out = QString::fromStdString(dir.file(c.output).string());
    QStringList args{"--render", out};
    if (*c.size != '\0') {
        args << "--size" << c.size;
    }
    args << QString::fromStdString(input.string());
    const auto run = run_view(args);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.message))) << run.err.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir.file(c.output)));
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, BadRenderTest,
    ::testing::Values(BadRender{"missing", "missing", "", "o.png", "Arquivo não encontrado"},
                      BadRender{"not_a_database", "text", "", "o.png", "não é um banco de dados"},
                      BadRender{"bad_size", "good", "800by600", "o.png", "tamanho inválido"},
                      BadRender{"tiny_size", "good", "10x10", "o.png", "tamanho inválido"},
                      BadRender{"unknown_format", "good", "", "o.gif", "Formato de imagem"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace zklog::test

namespace zklog::view {
namespace {

TEST(TableCsv, SameBytesAsZklogCliExportAndFilteredRowsOnly) {
    test::TempDir dir;
    const auto db_path = dir.file("log.db");
    auto rows = test::some_rows(20);
    rows[4].emplace_back("Causa", "| Mudança Relés");
    rows[4].emplace_back("Erros", "a, \"quoted\" text");
    test::write_log_file(db_path, rows);
    const auto cli_csv = dir.file("cli.csv");
    ASSERT_EQ(QProcess::execute(ZKLOG_CLI_PATH,
                                {"export", "--db", QString::fromStdString(db_path.string()), "-o",
                                 QString::fromStdString(cli_csv.string())}),
              0);
    SQLite::Database db = open_log_read_only(db_path);
    const auto view_csv = dir.file("view.csv");
    EXPECT_FALSE(write_table(db, {}, QString::fromStdString(view_csv.string())));
    EXPECT_EQ(test::file_bytes(view_csv), test::file_bytes(cli_csv));

    LogFilter relays;
    relays.relay_changes = true;
    EXPECT_FALSE(write_table(db, relays, QString::fromStdString(view_csv.string())));
    const std::string filtered = test::file_bytes(view_csv);
    EXPECT_EQ(std::count(filtered.begin(), filtered.end(), '\n'), 2); // header and one row
    EXPECT_NE(filtered.find("\"a, \"\"quoted\"\" text\""), std::string::npos);
}

} // namespace
} // namespace zklog::view
