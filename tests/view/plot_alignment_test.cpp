// One moment, one column: the three charts' plot areas share their left and right edges, so a
// record sits on the same pixel column in each, drawn in a window and in a picture alike.
#include "tests/support/temp_dir.h"
#include "tests/view/log_files.h"
#include "view/chart_export.h"
#include "view/chart_panel.h"
#include "view/log_source.h"
#include "view/wall_clock.h"

#include <QApplication>
#include <QImage>
#include <QtCharts/QChartView>
#include <QtCharts/QValueAxis>
#include <cmath>
#include <gtest/gtest.h>

namespace zklog::view {
namespace {

using test::FieldValues;

struct AlignmentCase {
    bool stamped; // real stamps (a time axis) or one broken stamp (the record number axis)
    int width;
};

// Four days, hot enough for three-digit temperature labels beside one-digit differential ones.
std::vector<FieldValues> demo_rows(bool stamped) {
    std::vector<FieldValues> rows;
    for (int i = 0; i < 96; ++i) {
        const std::string date = std::to_string(3 + i / 24) + "/3/24";
        const std::string time = std::to_string(i % 24) + ":30:0";
        auto row = test::stamped_row(date, time, 30 + 95 * std::abs(std::sin(i / 9.0)),
                                     i % 11 < 4 ? "| RL1| RL3" : "| RL2");
        row.emplace_back("Dif Filtrado1", std::sin(i / 4.0) * 1.2);
        rows.push_back(row);
    }
    if (!stamped) {
        rows[40][0].second = std::string("45/13/24");
    }
    return rows;
}

QChartView* view_of(QChart* chart) {
    return qobject_cast<QChartView*>(chart->scene()->views().value(0));
}

// A point of a chart in the panel's pixels.
QPointF in_panel(const ChartPanel& panel, QChart* chart, QPointF at) {
    QChartView* view = view_of(chart);
    const QPointF in_view = view->mapFromScene(chart->mapToScene(at));
    return QPointF(view->viewport()->mapTo(&panel, in_view.toPoint())) +
           (in_view - QPointF(in_view.toPoint()));
}

void settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
    }
}

class PlotAlignment : public ::testing::TestWithParam<AlignmentCase> {
protected:
    void SetUp() override {
        test::write_log_file(path_, demo_rows(GetParam().stamped));
        SQLite::Database db = open_log_read_only(path_);
        data_ = std::make_shared<ChartData>(load_chart_data(db));
        ASSERT_EQ(data_->x_is_time, GetParam().stamped);
        panel_.set_data(data_);
    }

    double record_x(std::size_t record) const {
        return data_->x_is_time ? static_cast<double>(
                                      WallClock().msecs(static_cast<long long>(data_->x[record])))
                                : data_->x[record];
    }

    // The record's column and the plot areas' edges, the same in all three charts.
    void expect_one_column(const char* when) {
        for (const std::size_t record : {std::size_t{0}, std::size_t{37}, data_->size() - 1}) {
            std::vector<double> columns;
            for (QChart* chart : panel_.charts()) {
                const QPointF at = chart->mapToPosition(QPointF(record_x(record), 0));
                columns.push_back(in_panel(panel_, chart, at).x());
            }
            EXPECT_NEAR(columns[0], columns[2], 0.01) << when << " record " << record;
            EXPECT_NEAR(columns[1], columns[2], 0.01) << when << " record " << record;
        }
        const QRectF lanes = panel_.relay_chart()->plotArea();
        ASSERT_GT(lanes.width(), 100) << when;
        for (QChart* chart : {panel_.temperature_chart(), panel_.differential_chart()}) {
            const QRectF area = chart->plotArea();
            EXPECT_NEAR(in_panel(panel_, chart, area.topLeft()).x(),
                        in_panel(panel_, panel_.relay_chart(), lanes.topLeft()).x(), 0.01)
                << when;
            EXPECT_NEAR(in_panel(panel_, chart, area.topRight()).x(),
                        in_panel(panel_, panel_.relay_chart(), lanes.topRight()).x(), 0.01)
                << when;
        }
    }

    test::TempDir dir_;
    std::filesystem::path path_ = dir_.file("LOG_ZKA_ZKB.db");
    std::shared_ptr<ChartData> data_;
    ChartPanel panel_;
};

TEST_P(PlotAlignment, ARecordIsOneColumnInAllChartsAfterZoomAndResize) {
    panel_.setAttribute(Qt::WA_DontShowOnScreen);
    panel_.resize(GetParam().width, 700);
    panel_.show();
    settle();
    expect_one_column("shown");

    // A zoom into the low temperatures gives the temperature axis narrower labels.
    QChart* temperatures = panel_.temperature_chart();
    const QRectF area = temperatures->plotArea();
    temperatures->zoomIn(QRectF(area.left() + area.width() * 0.2,
                                area.bottom() - area.height() * 0.3, area.width() * 0.3,
                                area.height() * 0.25));
    settle();
    expect_one_column("zoomed");

    panel_.resize(GetParam().width * 3 / 2, 800);
    settle();
    expect_one_column("resized");
}

// Darker than the light grey around the charts: a grid line, an axis, a series, a label.
bool inked(const QImage& image, int x, int y) {
    return qGray(image.pixel(x, y)) < 235;
}

// The plot area's edges in each chart's band of the picture: on the left its value axis, the
// first line as tall as half the band; on the right the end of its longest horizontal line (a
// grid line or the time axis, which stop there; tick marks stick out on the left only).
std::pair<int, int> plot_edges(const QImage& image, QRect band) {
    int left = -1;
    for (int x = 0; x < image.width() && left < 0; ++x) {
        for (int y = band.top(), run = 0; y <= band.bottom(); ++y) {
            run = inked(image, x, y) ? run + 1 : 0;
            if (run > band.height() / 2) {
                left = x;
                break;
            }
        }
    }
    std::pair<int, int> widest{0, -1};
    for (int y = band.top(); y <= band.bottom(); ++y) {
        for (int x = 0, start = 0; x < image.width(); ++x) {
            if (!inked(image, x, y)) {
                start = x + 1;
            } else if (x - start > widest.second - widest.first) {
                widest = {start, x};
            }
        }
    }
    return {left, widest.second};
}

TEST_P(PlotAlignment, ThePicturesPlotAreasShareTheirEdges) {
    const QString out = QString::fromStdString(dir_.file("chart.png").string());
    ASSERT_EQ(write_chart(panel_, out, QSize(GetParam().width, 700)), std::nullopt);
    const QImage image(out);
    ASSERT_FALSE(image.isNull());
    std::vector<std::pair<int, int>> edges;
    for (QChart* chart : panel_.charts()) {
        const QRect band = view_of(chart)->geometry();
        edges.push_back(plot_edges(image, band));
        EXPECT_GT(edges.back().second - edges.back().first, GetParam().width / 2);
    }
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_NEAR(edges[i].first, edges[2].first, 1) << "chart " << i;
        EXPECT_NEAR(edges[i].second, edges[2].second, 1) << "chart " << i;
    }
    expect_one_column("rendered");
}

INSTANTIATE_TEST_SUITE_P(StampsAndWidths, PlotAlignment,
                         ::testing::Values(AlignmentCase{true, 1200}, AlignmentCase{true, 640},
                                           AlignmentCase{false, 1200}, AlignmentCase{false, 640}));

} // namespace
} // namespace zklog::view
