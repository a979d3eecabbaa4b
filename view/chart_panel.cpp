#include "view/chart_panel.h"

#include "view/gap_line_item.h"
#include "view/polyline.h"

#include <QCheckBox>
#include <QDateTime>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <cmath>
#include <limits>
#include <unordered_map>

namespace zklog::view {

namespace {

const std::array<QColor, 10> kPalette{
    QColor(31, 119, 180),  QColor(255, 127, 14), QColor(44, 160, 44),   QColor(214, 39, 40),
    QColor(148, 103, 189), QColor(140, 86, 75),  QColor(227, 119, 194), QColor(127, 127, 127),
    QColor(188, 189, 34),  QColor(23, 190, 207)};

QString qt_text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The relay's clock has no time zone and the axis shows local time: the stamp is placed at
// the same wall-clock reading here, so the labels read as the relay wrote them. Local midnight
// is looked up once per day; a lookup per record reads the zone file each time.
qint64 msecs_since_epoch(double seconds_since_2000) {
    static std::unordered_map<qint64, qint64> midnight;
    const auto seconds = static_cast<qint64>(seconds_since_2000);
    const qint64 day = seconds / 86400;
    auto found = midnight.find(day);
    if (found == midnight.end()) {
        found =
            midnight
                .emplace(day,
                         QDateTime(QDate(2000, 1, 1).addDays(day), QTime(0, 0)).toMSecsSinceEpoch())
                .first;
    }
    return found->second + (seconds % 86400) * 1000;
}

QChartView* make_view(QWidget* parent) {
    auto* view = new QChartView(new QChart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setRubberBand(QChartView::RectangleRubberBand);
    view->chart()->layout()->setContentsMargins(0, 0, 0, 0);
    view->chart()->setMargins(QMargins(4, 4, 4, 4));
    return view;
}

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
    differential_toggles_ = new QHBoxLayout;
    differential_toggles_->addStretch(1);
    temperature_view_ = make_view(this);
    differential_view_ = make_view(this);
    relay_view_ = make_view(this);
    layout->addLayout(temperature_toggles_);
    layout->addWidget(temperature_view_, settings_.temperature_stretch);
    layout->addLayout(differential_toggles_);
    layout->addWidget(differential_view_, settings_.differential_stretch);
    layout->addWidget(relay_view_, settings_.relay_stretch);
    for (QChartView* view : {temperature_view_, differential_view_, relay_view_}) {
        view->viewport()->setMouseTracking(true);
        view->viewport()->installEventFilter(this);
    }
    set_data(std::make_shared<ChartData>());
}

QString ChartPanel::axis_note() const {
    return note_->isHidden() ? QString() : note_->text();
}

double ChartPanel::chart_x(std::size_t record) const {
    const double x = data_->x[record];
    return data_->x_is_time ? static_cast<double>(msecs_since_epoch(x)) : x;
}

QAbstractAxis* ChartPanel::make_x_axis() const {
    if (!empty() && data_->x_is_time) {
        auto* axis = new QDateTimeAxis;
        axis->setFormat("dd/MM/yy hh:mm");
        axis->setTickCount(6);
        return axis;
    }
    auto* axis = new QValueAxis;
    axis->setLabelFormat("%d");
    axis->setTitleText(empty() ? QString() : QStringLiteral("Registro"));
    return axis;
}

void ChartPanel::set_data(std::shared_ptr<const ChartData> data) {
    data_ = std::move(data);
    for (auto& [name, item] : items_) {
        delete item;
    }
    items_.clear();
    anchors_.clear();
    marker_ = nullptr;
    chart_xs_.clear();
    for (std::size_t i = 0; i < data_->size(); ++i) {
        chart_xs_.push_back(chart_x(i));
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

    build_line_chart(temperature_chart(), kTemperatureFields, data_->temperatures,
                     empty() ? QStringLiteral("Nenhum registro") : QStringLiteral("Temperaturas"));
    build_line_chart(differential_chart(), kDifferentialFields, data_->differentials,
                     empty() ? QString() : QStringLiteral("Diferencial"));
    build_relay_chart();
    link_x_axes();
}

void ChartPanel::build_line_chart(QChart* chart, std::span<const std::string_view> names,
                                  std::span<const std::vector<double>> values,
                                  const QString& title) {
    chart->setTitle(title);
    // The switches above the chart, in the series' colours, are its legend.
    chart->legend()->setVisible(false);
    QAbstractAxis* x_axis = make_x_axis();
    auto* y_axis = new QValueAxis;
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
    for (std::size_t s = 0; s < names.size() && !empty(); ++s) {
        const QString name = qt_text(names[s]);
        const QColor color = kPalette[s % kPalette.size()];
        auto pieces = polylines(chart_xs_, values[s], settings_.columns);
        if (pieces.empty()) {
            continue; // a field no record holds gets no switch either
        }
        for (const Polyline& piece : pieces) {
            for (const PlotPoint& p : piece) {
                low = std::min(low, p.y);
                high = std::max(high, p.y);
            }
        }
        auto* item = new GapLineItem(chart, anchor, std::move(pieces), color);
        items_[name] = item;
        auto* box = new QCheckBox(name, this);
        box->setChecked(true);
        box->setStyleSheet(QStringLiteral("color: %1").arg(color.name()));
        connect(box, &QCheckBox::toggled, this,
                [this, name](bool on) { set_series_visible(name, on); });
        QHBoxLayout* row =
            chart == temperature_chart() ? temperature_toggles_ : differential_toggles_;
        row->insertWidget(row->count() - 1, box); // before the closing stretch
        toggle_by_name_[name] = box;
    }
    if (std::isfinite(low)) {
        const double pad = std::max(1.0, (high - low) * 0.05);
        y_axis->setRange(low - pad, high + pad);
    }
    set_x_range(x_axis);
    // Zooming moves the axes; the items follow on the next paint.
    for (QAbstractAxis* axis : {x_axis, static_cast<QAbstractAxis*>(y_axis)}) {
        if (auto* value = qobject_cast<QValueAxis*>(axis)) {
            connect(value, &QValueAxis::rangeChanged, chart, [chart] { chart->update(); });
        } else if (auto* time = qobject_cast<QDateTimeAxis*>(axis)) {
            connect(time, &QDateTimeAxis::rangeChanged, chart, [chart] { chart->update(); });
        }
    }
}

void ChartPanel::set_x_range(QAbstractAxis* x_axis) const {
    if (empty()) {
        return;
    }
    const double first = chart_xs_.front();
    const double last = chart_xs_.back();
    if (auto* time = qobject_cast<QDateTimeAxis*>(x_axis)) {
        time->setRange(
            QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first)),
            QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::max(last, first + 1000))));
    } else {
        x_axis->setRange(first, std::max(last, first + 1));
    }
}

std::vector<Polyline> ChartPanel::pieces(const QString& name) const {
    const auto found = items_.find(name);
    return found == items_.end() ? std::vector<Polyline>{} : found->second->pieces();
}

std::optional<std::size_t> ChartPanel::record_at(QChartView* view, QPoint pos) const {
    if (empty()) {
        return std::nullopt;
    }
    QChart* chart = view->chart();
    const QPointF in_chart = chart->mapFromScene(view->mapToScene(pos));
    const auto anchor = anchors_.find(chart);
    if (!chart->plotArea().contains(in_chart) || anchor == anchors_.end()) {
        return std::nullopt;
    }
    const double x = chart->mapToValue(in_chart, anchor->second).x();
    std::size_t best = 0;
    for (std::size_t i = 1; i < chart_xs_.size(); ++i) {
        if (std::abs(chart_xs_[i] - x) < std::abs(chart_xs_[best] - x)) {
            best = i;
        }
    }
    return best;
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
            show_tip(*record, mouse->globalPosition());
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

void ChartPanel::build_relay_chart() {
    QChart* chart = relay_chart();
    chart->legend()->setVisible(false);
    QAbstractAxis* x_axis = make_x_axis();
    auto* y_axis = new QCategoryAxis;
    y_axis->setRange(0, kRelayCount);
    y_axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
    QFont small = y_axis->labelsFont();
    small.setPointSizeF(7);
    y_axis->setLabelsFont(small);
    y_axis->setTruncateLabels(false);
    for (int relay = 0; relay < kRelayCount; ++relay) {
        y_axis->append(QStringLiteral("RL%1").arg(relay + 1), relay + 1);
    }
    chart->addAxis(x_axis, Qt::AlignBottom);
    chart->addAxis(y_axis, Qt::AlignLeft);
    chart->setTitle(empty() ? QString() : QStringLiteral("Relés ativos"));
    if (empty()) {
        return;
    }
    // Each lane is a band that is full height while the relay is active and flat otherwise:
    // one area per relay however often it switches.
    for (int relay = 0; relay < kRelayCount; ++relay) {
        auto* upper = new QLineSeries;
        auto* lower = new QLineSeries;
        const double base = relay + 0.1;
        const double top = relay + 0.9;
        // Thinned like the lines: a column of the chart shows the relay active when any of its
        // records does, so a lane never costs more points than the chart has columns.
        const std::size_t count = data_->size();
        const std::size_t per_column =
            std::max<std::size_t>(1, (count + settings_.columns - 1) / settings_.columns);
        bool on = false;
        for (std::size_t start = 0; start < count; start += per_column) {
            bool now = false;
            for (std::size_t i = start; i < std::min(count, start + per_column) && !now; ++i) {
                now = (data_->relays[i] & (1U << static_cast<unsigned>(relay))) != 0;
            }
            const double x = chart_xs_[start];
            if (start == 0 || now != on) {
                upper->append(x, on ? top : base);
                upper->append(x, now ? top : base);
                on = now;
            }
        }
        upper->append(chart_x(data_->size() - 1), on ? top : base);
        lower->append(chart_x(0), base);
        lower->append(chart_x(data_->size() - 1), base);
        auto* area = new QAreaSeries(upper, lower);
        area->setName(QStringLiteral("RL%1").arg(relay + 1));
        area->setColor(kPalette[static_cast<std::size_t>(relay)]);
        area->setBorderColor(kPalette[static_cast<std::size_t>(relay)]);
        chart->addSeries(area);
        area->attachAxis(x_axis);
        area->attachAxis(y_axis);
    }
    set_x_range(x_axis);
}

void ChartPanel::link_x_axes() {
    // Zooming any chart in time zooms the others the same, so the lanes line up with the lines.
    const auto x_axis_of = [](QChart* chart) { return chart->axes(Qt::Horizontal).value(0); };
    std::array<QChart*, 3> charts{temperature_chart(), differential_chart(), relay_chart()};
    for (QChart* source : charts) {
        QAbstractAxis* from = x_axis_of(source);
        for (QChart* target : charts) {
            if (target == source) {
                continue;
            }
            QAbstractAxis* to = x_axis_of(target);
            if (auto* time = qobject_cast<QDateTimeAxis*>(from)) {
                connect(time, &QDateTimeAxis::rangeChanged, to,
                        [to](const QDateTime& min, const QDateTime& max) {
                            auto* other = qobject_cast<QDateTimeAxis*>(to);
                            if (other != nullptr && (other->min() != min || other->max() != max)) {
                                other->setRange(min, max);
                            }
                        });
            } else if (auto* value = qobject_cast<QValueAxis*>(from)) {
                connect(value, &QValueAxis::rangeChanged, to, [to](qreal min, qreal max) {
                    auto* other = qobject_cast<QValueAxis*>(to);
                    if (other != nullptr && (other->min() != min || other->max() != max)) {
                        other->setRange(min, max);
                    }
                });
            }
        }
    }
}

void ChartPanel::set_series_visible(const QString& name, bool visible) {
    if (const auto item = items_.find(name); item != items_.end()) {
        item->second->setVisible(visible);
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

void ChartPanel::show_tip(std::size_t record, const QPointF& where) {
    QString text = QStringLiteral("Registro %1").arg(record + 1);
    for (std::size_t s = 0; s < kTemperatureFields.size(); ++s) {
        const double v = data_->temperatures[s][record];
        if (!std::isnan(v)) {
            text += QStringLiteral("\n%1: %2").arg(qt_text(kTemperatureFields[s])).arg(v);
        }
    }
    for (std::size_t s = 0; s < kDifferentialFields.size(); ++s) {
        const double v = data_->differentials[s][record];
        if (!std::isnan(v)) {
            text += QStringLiteral("\n%1: %2").arg(qt_text(kDifferentialFields[s])).arg(v);
        }
    }
    QToolTip::showText(where.toPoint(), text, this);
}

} // namespace zklog::view
