// The log's charts: temperatures, differential readings and one lane per relay, sharing one
// time axis; the series can be hidden, zoomed with the mouse, and point at their records.
#pragma once

#include "view/chart_data.h"
#include "view/polyline.h"

#include <QWidget>
#include <QtCharts/QChartView>
#include <QtCharts/QValueAxis>
#include <QtCharts/QXYSeries>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <span>

class QLabel;
class QCheckBox;
class QHBoxLayout;

namespace zklog::view {

class GapLineItem;

struct ChartSettings {
    // Points kept per series: about two per pixel column of a wide window.
    std::size_t columns = 1600;
    // Lanes and the differential chart share the height this way with the temperatures.
    int temperature_stretch = 5;
    int differential_stretch = 3;
    int relay_stretch = 3;
};

class ChartPanel : public QWidget {
    Q_OBJECT
public:
    explicit ChartPanel(ChartSettings settings = {}, QWidget* parent = nullptr);

    void set_data(std::shared_ptr<const ChartData> data);
    const ChartData* data() const { return data_.get(); }

    // Shows the panel at `size` without a window and lays it out at once, the plot areas
    // aligned, for a picture drawn without an event loop.
    void show_off_screen(QSize size);

    // The line over the charts that says the axis is the record number, empty otherwise.
    QString axis_note() const;
    bool empty() const { return !data_ || data_->size() == 0; }

    void set_series_visible(const QString& name, bool visible);
    // The pieces of line drawn for one field (empty when no record holds it).
    std::vector<Polyline> pieces(const QString& name) const;
    // The fault marks drawn for one field.
    std::vector<QPointF> fault_marks(const QString& name) const;
    // Whether the numbers written by faulty sensors are drawn as values too.
    void set_raw_values_shown(bool shown);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    // The temperature and differential charts, for tests and export.
    QChart* temperature_chart() const { return temperature_view_->chart(); }
    QChart* differential_chart() const { return differential_view_->chart(); }
    QChart* relay_chart() const { return relay_view_->chart(); }
    std::array<QChart*, 3> charts() const {
        return {temperature_chart(), differential_chart(), relay_chart()};
    }

public slots:
    void reset_zoom();
    void set_time_zoom_only(bool only);
    void mark_record(std::size_t record);

signals:
    void record_clicked(std::size_t record);

private:
    void build_line_chart(QChart* chart, std::span<const std::string_view> names,
                          std::span<const std::vector<double>> values, const QString& title);
    void add_fault_marks(QChart* chart, std::size_t field, const QColor& colour,
                         QAbstractAxis* x_axis, QAbstractAxis* y_axis, double foot);
    void build_relay_chart();
    QValueAxis* new_x_axis(bool labelled) const;
    void set_x_range(QValueAxis* x_axis) const;
    // As many time labels as the width leaves room for.
    void fit_x_ticks();
    std::optional<std::size_t> record_at(QChartView* view, QPoint pos) const;
    double chart_x(std::size_t record) const;

    ChartSettings settings_;
    std::shared_ptr<const ChartData> data_;
    QLabel* note_ = nullptr;
    QHBoxLayout* temperature_toggles_ = nullptr;
    QHBoxLayout* differential_toggles_ = nullptr;
    QChartView* temperature_view_ = nullptr;
    QChartView* differential_view_ = nullptr;
    QChartView* relay_view_ = nullptr;
    std::vector<double> chart_xs_; // each record's place on the x axis, as the axis counts
    double x_low_ = 0;             // the earliest and the latest of them
    double x_high_ = 0;
    std::map<QString, GapLineItem*> items_;
    std::map<QString, QXYSeries*> marks_;
    QCheckBox* raw_toggle_ = nullptr;
    bool raw_shown_ = false;
    std::map<QChart*, QXYSeries*> anchors_;
    QPoint press_;
    std::map<QString, QCheckBox*> toggle_by_name_;
    QAbstractSeries* marker_ = nullptr;
};

} // namespace zklog::view
