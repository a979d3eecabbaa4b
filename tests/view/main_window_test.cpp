// The viewer's window on real database files, off screen.
#include "tests/support/temp_dir.h"
#include "tests/view/log_files.h"
#include "view/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QtCharts/QAbstractSeries>
#include <QtCharts/QChart>
#include <QtCharts/QXYSeries>
#include <fstream>
#include <gtest/gtest.h>

namespace zklog::view {
namespace {

using test::FieldValues;
using test::stamped_row;

class MainWindowTest : public ::testing::Test {
protected:
    std::unique_ptr<MainWindow> open(const std::vector<FieldValues>& rows) {
        test::write_log_file(path_, rows);
        auto window = std::make_unique<MainWindow>();
        window->open_file(path_);
        return window;
    }
    test::TempDir dir_;
    std::filesystem::path path_ = dir_.file("LOG_ZKA_ZKB.db");
};

TEST_F(MainWindowTest, TitleNamesTheFile) {
    const auto window = open({stamped_row("1/1/23", "1:0:0", 1)});
    EXPECT_TRUE(window->windowTitle().contains("LOG_ZKA_ZKB.db"));
    EXPECT_TRUE(window->windowTitle().contains("LOG do ZKA / ZKB"));
    EXPECT_TRUE(window->error_text().isEmpty());
}

TEST_F(MainWindowTest, EmptyTableSaysNoRecords) {
    const auto window = open({});
    EXPECT_EQ(window->model().rowCount(), 0);
    EXPECT_EQ(window->charts().temperature_chart()->title(), "Nenhum registro");
    EXPECT_TRUE(window->error_text().isEmpty());
}

TEST_F(MainWindowTest, BadFileLeavesAnEmptyViewAndTheReason) {
    std::ofstream(path_) << "texto";
    MainWindow window;
    window.open_file(path_);
    EXPECT_TRUE(window.error_text().contains(QString::fromUtf8("não é um banco de dados")));
    EXPECT_EQ(window.model().rowCount(), 0);
}

TEST_F(MainWindowTest, RowsAreReadAPageAtATime) {
    std::vector<FieldValues> rows(1000, stamped_row("1/1/23", "1:0:0", 1));
    const auto window = open(rows);
    EXPECT_EQ(window->model().rowCount(), LogTableModel::kPageRows);
    EXPECT_TRUE(window->model().canFetchMore());
    EXPECT_EQ(window->model().row_of(900), 899);
    EXPECT_GT(window->model().rowCount(), 899);
}

TEST_F(MainWindowTest, ChecksumMismatchStandsOut) {
    FieldValues bad = stamped_row("1/1/23", "1:0:1", 2);
    bad[3].second = std::int64_t{0};
    const auto window = open({stamped_row("1/1/23", "1:0:0", 1), bad});
    EXPECT_FALSE(window->model().index(0, 0).data(Qt::BackgroundRole).isValid());
    EXPECT_TRUE(window->model().index(1, 0).data(Qt::BackgroundRole).isValid());
}

TEST_F(MainWindowTest, QuickFiltersAndTextNarrowTheTable) {
    FieldValues relay = stamped_row("1/1/23", "1:0:1", 2, "| RL3");
    relay.emplace_back("Causa", "| Mudança Relés");
    FieldValues bad = stamped_row("1/1/23", "1:0:2", 3);
    bad[3].second = std::int64_t{0};
    const auto window = open({stamped_row("1/1/23", "1:0:0", 1), relay, bad});
    window->relays_filter().setChecked(true);
    EXPECT_EQ(window->model().rowCount(), 1);
    window->relays_filter().setChecked(false);
    window->crc_filter().setChecked(true);
    EXPECT_EQ(window->model().rowCount(), 1);
    EXPECT_EQ(window->model().rowid_at(0), 3);
    window->crc_filter().setChecked(false);
    window->filter_box().setText("rl3");
    EXPECT_EQ(window->model().rowCount(), 1);
    window->filter_box().clear();
    EXPECT_EQ(window->model().rowCount(), 3);
}

TEST_F(MainWindowTest, NullReadingIsAGapInTheLine) {
    FieldValues hole = stamped_row("1/1/23", "1:0:2", 0);
    hole.erase(hole.begin() + 2); // RTD1 NULL
    const auto window =
        open({stamped_row("1/1/23", "1:0:0", 1), stamped_row("1/1/23", "1:0:1", 2), hole,
              stamped_row("1/1/23", "1:0:3", 4), stamped_row("1/1/23", "1:0:4", 5)});
    const auto pieces = window->charts().pieces("RTD1");
    ASSERT_EQ(pieces.size(), 2U);
    EXPECT_EQ(pieces[0].size(), 2U);
    EXPECT_EQ(pieces[1].front().record, 3U);
    for (const auto& piece : pieces) {
        for (const auto& p : piece) {
            EXPECT_NE(p.y, 0.0);
        }
    }
    EXPECT_TRUE(window->charts().pieces("RTD3").empty()); // a field no record holds draws nothing
}

TEST_F(MainWindowTest, BadStampPutsTheAxisOnRecordNumbersAndSaysSo) {
    auto good = open({stamped_row("1/1/23", "1:0:0", 1)});
    EXPECT_TRUE(good->charts().axis_note().isEmpty());
    good.reset(); // Windows removes no file a window still holds open
    std::filesystem::remove(path_);
    const auto bad = open({stamped_row("1/1/23", "1:0:0", 1), stamped_row("45/1/23", "1:0:0", 1)});
    EXPECT_TRUE(bad->charts().axis_note().contains(QString::fromUtf8("número do registro")));
}

TEST_F(MainWindowTest, ClickedPointSelectsItsRowAndSelectedRowMarksTheChart) {
    std::vector<FieldValues> rows;
    for (int i = 0; i < 5; ++i) {
        rows.push_back(stamped_row("1/1/23", "1:0:" + std::to_string(i), i + 1.0));
    }
    const auto window = open(rows);
    emit window->charts().record_clicked(3);
    EXPECT_EQ(window->table().currentIndex().row(), 3);
    const auto before = window->charts().temperature_chart()->series().size();
    window->table().selectRow(1);
    EXPECT_EQ(window->charts().temperature_chart()->series().size(), before); // moved, not added
    EXPECT_TRUE(window->charts().temperature_chart()->series().size() > 0);
}

TEST_F(MainWindowTest, ViewingChangesNotOneByteOfTheFile) {
    std::vector<FieldValues> rows;
    for (int i = 0; i < 600; ++i) {
        rows.push_back(stamped_row("1/1/23", "1:0:" + std::to_string(i % 60), i * 0.5));
    }
    test::write_log_file(path_, rows);
    const std::string before = test::file_bytes(path_);
    const auto mtime = std::filesystem::last_write_time(path_);
    {
        MainWindow window;
        window.open_file(path_);
        window.show();
        QTest::qWait(50);
        window.model().row_of(600);
        window.crc_filter().setChecked(true);
        QTest::keyClick(&window, Qt::Key_F5);
        window.reload();
    }
    EXPECT_EQ(test::file_bytes(path_), before);
    EXPECT_EQ(std::filesystem::last_write_time(path_), mtime);
}

TEST_F(MainWindowTest, F5Reloads) {
    const auto window = open({stamped_row("1/1/23", "1:0:0", 1)});
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const int reloads = window->reload_count();
    QTest::keyClick(window.get(), Qt::Key_F5);
    EXPECT_EQ(window->reload_count(), reloads + 1);
}

} // namespace
} // namespace zklog::view
