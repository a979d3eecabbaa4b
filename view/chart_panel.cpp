#include "view/chart_panel.h"

#include "view/chart_axes.h"
#include "view/chart_palette.h"
#include "view/chart_tip.h"
#include "view/gap_line_item.h"
#include "view/plot_alignment.h"
#include "view/reading_series.h"
#include "view/relay_lanes.h"
#include "view/wall_clock.h"

#include <QCheckBox>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <algorithm>
#include <cmath>
#include <limits>

namespace zklog::view {

namespace {

QString qt_text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QChartView* make_view(QWidget* parent) {
    auto* view = new QChartView(new QChart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setRubberBand(QChartView::RectangleRubberBand);
    view->chart()->layout()->setContentsMargins(0, 0, 0, 0);
    view->chart()->setMargins(QMargins(4, 4, 4, 4));
    // The room that lines the plot areas up is outside the chart's background: the view's own
    // background in the same colour keeps it from showing as a grey step beside each chart.
    view->setBackgroundBrush(view->chart()->backgroundBrush());
    return view;
}

// Tick intervals the charts' heights leave room for.
constexpr int kTemperatureTicks = 7;
constexpr int kDifferentialTicks = 4;
const QString kDegrees = QStringLiteral("°C");

} // namespace

ChartPanel::ChartPanel(ChartSettings settings, QWidget* parent)
    : QWidget(parent), settings_(settings) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    note_ = new QLabel(this);
    note_->setVisible(false);
    layout->addWidget(note_);
    temperature_toggles_ = new QHBoxLayout;
    temperature_toggles_->addStretch(1);
    // What a faulty sensor wrote is hidden behind its fault mark unless asked for.
    raw_toggle_ = new QCheckBox(QStringLiteral("Valores de sensor em falha"), this);
    raw_toggle_->setToolTip(QStringLiteral("Mostra também o valor gravado quando o registro "
                                           "indica falha do sensor (Erros, Erros2)"));
    temperature_toggles_->addWidget(raw_toggle_);
    connect(raw_toggle_, &QCheckBox::toggled, this, &ChartPanel::set_raw_values_shown);
    differential_toggles_ = new QHBoxLayout;
    differential_toggles_->addStretch(1);
    temperature_view_ = make_view(this);
    differential_view_ = make_view(this);
    relay_view_ = make_view(this);
    relay_view_->setMinimumHeight(kRelayChartMinimumHeight);
    layout->addLayout(temperature_toggles_);
    layout->addWidget(temperature_view_, settings_.temperature_stretch);
    layout->addLayout(differential_toggles_);
    layout->addWidget(differential_view_, settings_.differential_stretch);
    layout->addWidget(relay_view_, settings_.relay_stretch);
    for (QChartView* view : {temperature_view_, differential_view_, relay_view_}) {
        view->viewport()->setMouseTracking(true);
        view->viewport()->installEventFilter(this);
    }
    // The time labels sit under the lanes only; the plot areas still share their edges.
    align_plot_areas(charts());
    connect(relay_chart(), &QChart::geometryChanged, this, &ChartPanel::fit_x_ticks);
    set_data(std::make_shared<ChartData>());
}

void ChartPanel::show_off_screen(QSize size) {
    // The panel lays itself out only when shown; off screen it never appears.
    setAttribute(Qt::WA_DontShowOnScreen);
    resize(size);
    show();
    layout()->activate();
    align_plot_areas_now(charts());
}

QString ChartPanel::axis_note() const {
    return note_->isHidden() ? QString() : note_->text();
}

double ChartPanel::chart_x(std::size_t record) const {
    return chart_xs_[record];
}

QValueAxis* ChartPanel::new_x_axis(bool labelled) const {
    return make_x_axis(!empty() && !data_->x_is_time, labelled);
}

void ChartPanel::set_x_range(QValueAxis* x_axis) const {
    if (!empty()) {
        view::set_x_range(x_axis, x_low_, x_high_);
    }
}

void ChartPanel::set_raw_values_shown(bool shown) {
    raw_toggle_->setChecked(shown);
    if (shown != raw_shown_) {
        raw_shown_ = shown;
        set_data(data_);
    }
}

void ChartPanel::set_data(std::shared_ptr<const ChartData> data) {
    data_ = std::move(data);
    for (auto& [name, item] : items_) {
        delete item;
    }
    items_.clear();
    marks_.clear();
    anchors_.clear();
    marker_ = nullptr;
    chart_xs_.clear();
    WallClock clock;
    for (std::size_t i = 0; i < data_->size(); ++i) {
        const double x = data_->x[i];
        chart_xs_.push_back(
            data_->x_is_time ? static_cast<double>(clock.msecs(static_cast<long long>(x))) : x);
    }
    if (!empty()) {
        const auto [low, high] = std::minmax_element(chart_xs_.begin(), chart_xs_.end());
        x_low_ = *low;
        x_high_ = *high;
    }
    for (auto& [name, box] : toggle_by_name_) {
        delete box;
    }
    toggle_by_name_.clear();
    for (QChartView* view : {temperature_view_, differential_view_, relay_view_}) {
        view->chart()->removeAllSeries();
        for (QAbstractAxis* axis : view->chart()->axes()) {
            view->chart()->removeAxis(axis);
            delete axis;
        }
    }
    const bool numbered = !empty() && !data_->x_is_time;
    note_->setVisible(numbered);
    note_->setText(numbered
                       ? QStringLiteral("Data e hora inválidas em algum registro: o eixo mostra o "
                                        "número do registro.")
                       : QString());
    raw_toggle_->setVisible(!empty() && std::any_of(data_->faults.begin(), data_->faults.end(),
                                                    [](std::uint16_t f) { return f != 0; }));

    build_line_chart(temperature_chart(), kTemperatureFields, data_->temperatures,
                     empty() ? QStringLiteral("Nenhum registro") : QStringLiteral("Temperaturas"));
    build_line_chart(differential_chart(), kDifferentialFields, data_->differentials,
                     empty() ? QString() : QStringLiteral("Diferencial"));
    build_relay_chart();
    link_x_axes(charts());
    fit_x_ticks();
}

void ChartPanel::fit_x_ticks() {
    // A label such as "24/01 18:00" with room around it; before the first layout, a wide window.
    constexpr double kLabelRoom = 120;
    constexpr int kUnlaidTicks = 8;
    const double width = relay_chart()->size().width();
    const int ticks =
        width > 0 ? std::clamp(static_cast<int>(width / kLabelRoom), 2, 12) : kUnlaidTicks;
    for (QChart* chart : charts()) {
        if (auto* axis = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).value(0))) {
            set_x_tick_limit(axis, ticks);
        }
    }
}

void ChartPanel::build_line_chart(QChart* chart, std::span<const std::string_view> names,
                                  std::span<const std::vector<double>> values,
                                  const QString& title) {
    const bool temperatures = chart == temperature_chart();
    chart->setTitle(title);
    // The switches above the chart, in the series' colours, are its legend.
    chart->legend()->setVisible(false);
    // One time scale for the three charts: its labels under the lanes, at the bottom.
    QValueAxis* x_axis = new_x_axis(false);
    QValueAxis* y_axis =
        make_reading_axis(kDegrees, temperatures ? kTemperatureTicks : kDifferentialTicks);
    chart->addAxis(x_axis, Qt::AlignBottom);
    chart->addAxis(y_axis, Qt::AlignLeft);
    // The lines are drawn by GapLineItem through this empty series, which ties them to the axes.
    auto* anchor = new QLineSeries;
    chart->addSeries(anchor);
    anchor->attachAxis(x_axis);
    anchor->attachAxis(y_axis);
    anchors_[chart] = anchor;
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    std::vector<std::size_t> faulty_fields;
    for (std::size_t s = 0; s < names.size() && !empty(); ++s) {
        const QString name = qt_text(names[s]);
        const QColor colour = series_colour(s);
        const SeriesSource source{chart_xs_, data_->order, values[s], data_->faults,
                                  temperatures ? std::optional<unsigned>(s) : std::nullopt};
        auto pieces = reading_pieces(source, raw_shown_, settings_.columns);
        const bool has_faults =
            temperatures && std::any_of(data_->faults.begin(), data_->faults.end(),
                                        [s](std::uint16_t f) { return (f & (1U << s)) != 0; });
        if (pieces.empty() && !has_faults) {
            continue; // a field no record holds gets no switch either
        }
        for (const Polyline& piece : pieces) {
            for (const PlotPoint& p : piece) {
                low = std::min(low, p.y);
                high = std::max(high, p.y);
            }
        }
        items_[name] = new GapLineItem(chart, anchor, std::move(pieces), colour);
        if (has_faults) {
            faulty_fields.push_back(s);
        }
        auto* box = new QCheckBox(name, this);
        box->setChecked(true);
        box->setStyleSheet(QStringLiteral("color: %1").arg(colour.name()));
        connect(box, &QCheckBox::toggled, this,
                [this, name](bool on) { set_series_visible(name, on); });
        QHBoxLayout* row = temperatures ? temperature_toggles_ : differential_toggles_;
        row->insertWidget(row->count() - (temperatures ? 2 : 1), box); // before the stretch
        toggle_by_name_[name] = box;
    }
    set_reading_range(y_axis, low, high);
    for (const std::size_t s : faulty_fields) {
        add_fault_marks(chart, s, series_colour(s), x_axis, y_axis, y_axis->min());
    }
    set_x_range(x_axis);
    // Zooming moves the axes; the items follow on the next paint.
    for (QValueAxis* axis : {x_axis, y_axis}) {
        connect(axis, &QValueAxis::rangeChanged, chart, [chart] { chart->update(); });
    }
}

void ChartPanel::add_fault_marks(QChart* chart, std::size_t field, const QColor& colour,
                                 QAbstractAxis* x_axis, QAbstractAxis* y_axis, double foot) {
    const SeriesSource source{chart_xs_, data_->order, data_->temperatures[field], data_->faults,
                              static_cast<unsigned>(field)};
    auto* marks = new QScatterSeries;
    marks->setName(qt_text(kTemperatureFields[field]) + QStringLiteral(" falha"));
    marks->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
    marks->setMarkerSize(11);
    marks->setColor(colour);
    marks->setBorderColor(QColor(200, 0, 0));
    for (const PlotPoint& p : view::fault_marks(source, settings_.columns)) {
        marks->append(p.x, std::isnan(p.y) ? foot : p.y);
    }
    chart->addSeries(marks);
    marks->attachAxis(x_axis);
    marks->attachAxis(y_axis);
    marks_[qt_text(kTemperatureFields[field])] = marks;
}

void ChartPanel::build_relay_chart() {
    QChart* chart = relay_chart();
    chart->legend()->setVisible(false);
    QValueAxis* x_axis = new_x_axis(true);
    QAbstractAxis* lane_axis = make_lane_axis();
    chart->addAxis(x_axis, Qt::AlignBottom);
    chart->addAxis(lane_axis, Qt::AlignLeft);
    // A time label on the plot area's right edge reaches half its width past it: room for it,
    // which the other charts take over when their plot areas line up with this one.
    const double half_label =
        QFontMetricsF(x_axis->labelsFont()).horizontalAdvance(QStringLiteral("00/00 00:00")) / 2;
    QMargins margins = chart->margins();
    margins.setRight(std::max(margins.left(), static_cast<int>(std::ceil(half_label))));
    chart->setMargins(margins);
    chart->setTitle(empty() ? QString() : QStringLiteral("Relés ativos"));
    if (empty()) {
        return;
    }
    add_relay_lanes(chart, *data_, chart_xs_, settings_.columns, x_axis, lane_axis);
    set_x_range(x_axis);
}

std::vector<Polyline> ChartPanel::pieces(const QString& name) const {
    const auto found = items_.find(name);
    return found == items_.end() ? std::vector<Polyline>{} : found->second->pieces();
}

std::vector<QPointF> ChartPanel::fault_marks(const QString& name) const {
    const auto found = marks_.find(name);
    if (found == marks_.end()) {
        return {};
    }
    const auto points = found->second->points();
    return {points.begin(), points.end()};
}

std::optional<std::size_t> ChartPanel::record_at(QChartView* view, QPoint pos) const {
    if (empty()) {
        return std::nullopt;
    }
    QChart* chart = view->chart();
    const QPointF in_chart = chart->mapFromScene(view->mapToScene(pos));
    const auto anchor = anchors_.find(chart);
    QXYSeries* reference = anchor != anchors_.end() ? anchor->second : nullptr;
    if (reference == nullptr && !chart->series().isEmpty()) {
        reference = qobject_cast<QXYSeries*>(chart->series().front());
    }
    if (!chart->plotArea().contains(in_chart)) {
        return std::nullopt;
    }
    return nearest_record(chart_xs_, chart->mapToValue(in_chart, reference).x());
}

bool ChartPanel::eventFilter(QObject* watched, QEvent* event) {
    QChartView* view = nullptr;
    for (QChartView* each : {temperature_view_, differential_view_, relay_view_}) {
        if (watched == each->viewport()) {
            view = each;
        }
    }
    if (view == nullptr) {
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::MouseMove) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (const auto record = record_at(view, mouse->position().toPoint())) {
            QToolTip::showText(mouse->globalPosition().toPoint(), record_tip(*data_, *record),
                               this);
        } else {
            QToolTip::hideText();
        }
    } else if (event->type() == QEvent::MouseButtonPress) {
        press_ = static_cast<QMouseEvent*>(event)->position().toPoint();
    } else if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        // A press and release in one place is a click; anything longer is a zoom rectangle.
        if (mouse->button() == Qt::LeftButton &&
            (mouse->position().toPoint() - press_).manhattanLength() < 4) {
            if (const auto record = record_at(view, mouse->position().toPoint())) {
                emit record_clicked(*record);
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ChartPanel::set_series_visible(const QString& name, bool visible) {
    if (const auto item = items_.find(name); item != items_.end()) {
        item->second->setVisible(visible);
    }
    if (const auto marks = marks_.find(name); marks != marks_.end()) {
        marks->second->setVisible(visible);
    }
    if (auto box = toggle_by_name_.find(name); box != toggle_by_name_.end()) {
        box->second->setChecked(visible);
    }
}

void ChartPanel::reset_zoom() {
    for (QChart* chart : {temperature_chart(), differential_chart(), relay_chart()}) {
        chart->zoomReset();
    }
    // zoomReset only undoes zooms made through the chart; the linked axes were set directly.
    if (!empty()) {
        set_data(data_);
    }
}

void ChartPanel::set_time_zoom_only(bool only) {
    for (QChartView* view : {temperature_view_, differential_view_, relay_view_}) {
        view->setRubberBand(only ? QChartView::HorizontalRubberBand
                                 : QChartView::RectangleRubberBand);
    }
}

void ChartPanel::mark_record(std::size_t record) {
    if (empty() || record >= data_->size()) {
        return;
    }
    QChart* chart = temperature_chart();
    if (marker_ != nullptr) {
        chart->removeSeries(marker_);
        delete marker_;
        marker_ = nullptr;
    }
    auto* y_axis = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).value(0));
    if (y_axis == nullptr) {
        return;
    }
    auto* line = new QLineSeries;
    line->setColor(Qt::black);
    line->append(chart_x(record), y_axis->min());
    line->append(chart_x(record), y_axis->max());
    chart->addSeries(line);
    line->attachAxis(chart->axes(Qt::Horizontal).value(0));
    line->attachAxis(y_axis);
    for (QLegendMarker* marker : chart->legend()->markers(line)) {
        marker->setVisible(false);
    }
    marker_ = line;
}

} // namespace zklog::view
