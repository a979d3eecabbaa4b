// The charts of a loaded log: the time range of a log saved out of time order, the scale a
// faulty sensor must not stretch, and what the tip says.
#include "tests/support/temp_dir.h"
#include "tests/view/log_files.h"
#include "view/chart_panel.h"
#include "view/chart_tip.h"
#include "view/log_source.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QValueAxis>
#include <gtest/gtest.h>

namespace zklog::view {
namespace {

using test::FieldValues;
using test::stamped_row;

class ChartPanelTest : public ::testing::Test {
protected:
    std::shared_ptr<ChartData> load(const std::vector<FieldValues>& rows) {
        test::write_log_file(path_, rows);
        SQLite::Database db = open_log_read_only(path_);
        return std::make_shared<ChartData>(load_chart_data(db));
    }
    test::TempDir dir_;
    std::filesystem::path path_ = dir_.file("LOG_ZKA_ZKB.db");
};

TEST_F(ChartPanelTest, AWrappedLogSpansFromItsEarliestToItsLatestStamp) {
    // Read after the memory wrapped: the newest records first, then the older lap.
    const auto data =
        load({stamped_row("5/3/24", "10:0:0", 60), stamped_row("5/3/24", "11:0:0", 61),
              stamped_row("1/3/24", "8:0:0", 40), stamped_row("2/3/24", "8:0:0", 50),
              stamped_row("3/3/24", "8:0:0", 55)});
    ChartPanel panel;
    panel.set_data(data);
    auto* axis = qobject_cast<QCategoryAxis*>(panel.relay_chart()->axes(Qt::Horizontal).value(0));
    ASSERT_NE(axis, nullptr);
    // Not widened to whole ticks: no blank stretch at either end.
    EXPECT_EQ(axis->min(), QDateTime(QDate(2024, 3, 1), QTime(8, 0)).toMSecsSinceEpoch());
    EXPECT_EQ(axis->max(), QDateTime(QDate(2024, 3, 5), QTime(11, 0)).toMSecsSinceEpoch());
    EXPECT_EQ(axis->categoriesLabels().front(), QStringLiteral("02/03/24"));
    EXPECT_EQ(axis->categoriesLabels().back(), QStringLiteral("05/03/24"));

    // Zoomed to a few hours, all three charts show the day and round times of it.
    panel.show_off_screen(QSize(1200, 700));
    const QRectF area = panel.relay_chart()->plotArea();
    panel.relay_chart()->zoomIn(
        QRectF(area.left() + area.width() * 0.9, area.top(), area.width() * 0.05, area.height()));
    for (QChart* chart : panel.charts()) {
        auto* zoomed = qobject_cast<QCategoryAxis*>(chart->axes(Qt::Horizontal).value(0));
        ASSERT_NE(zoomed, nullptr);
        EXPECT_LT(zoomed->max() - zoomed->min(), 6 * 3600 * 1000.0);
        const QStringList labels = zoomed->categoriesLabels();
        ASSERT_GE(labels.size(), 2);
        for (const QString& label : labels) {
            EXPECT_TRUE(QRegularExpression(QStringLiteral("^0[45]/03 \\d\\d:[03]0$"))
                            .match(label)
                            .hasMatch())
                << label.toStdString() << " in " << labels.join(",").toStdString();
        }
    }
    // One line in time order through all five records.
    const auto pieces = panel.pieces("RTD1");
    ASSERT_EQ(pieces.size(), 1U);
    ASSERT_EQ(pieces[0].size(), 5U);
    const std::vector<std::size_t> in_time{2, 3, 4, 0, 1};
    for (std::size_t i = 0; i < in_time.size(); ++i) {
        EXPECT_EQ(pieces[0][i].record, in_time[i]);
    }
}

TEST_F(ChartPanelTest, AFaultySensorIsAMarkAndLeavesTheScaleAlone) {
    FieldValues faulty = stamped_row("1/3/24", "9:0:0", 3276.7);
    faulty.emplace_back("Erros", "| RTD1");
    const auto data =
        load({stamped_row("1/3/24", "8:0:0", 61.5), faulty, stamped_row("1/3/24", "10:0:0", 63.0)});
    ChartPanel panel;
    panel.set_data(data);
    auto* y = qobject_cast<QValueAxis*>(panel.temperature_chart()->axes(Qt::Vertical).value(0));
    ASSERT_NE(y, nullptr);
    EXPECT_LT(y->max(), 100);
    EXPECT_GT(y->min(), 0);
    EXPECT_EQ(y->titleText(), QStringLiteral("°C"));
    const auto marks = panel.fault_marks("RTD1");
    ASSERT_EQ(marks.size(), 1U);
    EXPECT_EQ(marks[0].y(), 61.5);
    EXPECT_EQ(panel.pieces("RTD1").size(), 2U);

    panel.set_raw_values_shown(true);
    y = qobject_cast<QValueAxis*>(panel.temperature_chart()->axes(Qt::Vertical).value(0));
    EXPECT_GT(y->max(), 3276.7);
    EXPECT_EQ(panel.pieces("RTD1").size(), 1U);

    const QString tip = record_tip(*data, 1);
    EXPECT_TRUE(tip.startsWith(QStringLiteral("Registro 2  1/3/24 9:0:0"))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QStringLiteral("RTD1: 3276.7 °C (falha do sensor)")))
        << tip.toStdString();
}

TEST_F(ChartPanelTest, EveryRelayLaneIsNamed) {
    const auto data = load(
        {stamped_row("1/3/24", "8:0:0", 60, "| RL2"), stamped_row("1/3/24", "9:0:0", 60, "| RL7")});
    ChartPanel panel;
    panel.set_data(data);
    const auto* lanes = panel.relay_chart()->axes(Qt::Vertical).value(0);
    ASSERT_NE(lanes, nullptr);
    EXPECT_FALSE(lanes->truncateLabels());
    EXPECT_EQ(panel.relay_chart()->series().size(), 8);
}

} // namespace
} // namespace zklog::view
