// The log's charts: temperatures, differential readings and one lane per relay, sharing one
// time axis; the series can be hidden, zoomed with the mouse, and point at their records.
#pragma once

#include "view/chart_data.h"

#include <QWidget>
#include <QtCharts/QChartView>
#include <map>
#include <memory>
#include <span>

class QLabel;
class QCheckBox;
class QHBoxLayout;

namespace zklog::view {

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

    // The line over the charts that says the axis is the record number, empty otherwise.
    QString axis_note() const;
    bool empty() const { return !data_ || data_->size() == 0; }

    void set_series_visible(const QString& name, bool visible);
    // The temperature and differential charts, for tests and export.
    QChart* temperature_chart() const { return temperature_view_->chart(); }
    QChart* differential_chart() const { return differential_view_->chart(); }
    QChart* relay_chart() const { return relay_view_->chart(); }

public slots:
    void reset_zoom();
    void set_time_zoom_only(bool only);
    void mark_record(std::size_t record);

signals:
    void record_clicked(std::size_t record);

private:
    void build_line_chart(QChart* chart, std::span<const std::string_view> names,
                          std::span<const std::vector<double>> values, const QString& title);
    void build_relay_chart();
    QAbstractAxis* make_x_axis() const;
    void link_x_axes();
    void show_tip(std::size_t record, const QPointF& where);
    double chart_x(std::size_t record) const;

    ChartSettings settings_;
    std::shared_ptr<const ChartData> data_;
    QLabel* note_ = nullptr;
    QHBoxLayout* temperature_toggles_ = nullptr;
    QHBoxLayout* differential_toggles_ = nullptr;
    QChartView* temperature_view_ = nullptr;
    QChartView* differential_view_ = nullptr;
    QChartView* relay_view_ = nullptr;
    std::map<QString, std::vector<QAbstractSeries*>> series_by_name_;
    std::map<QString, QCheckBox*> toggle_by_name_;
    QAbstractSeries* marker_ = nullptr;
};

} // namespace zklog::view
