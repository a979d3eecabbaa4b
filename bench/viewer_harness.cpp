// zklog-view's window started as its main() starts it, instrumented: when the table and the
// charts have both been painted for the first time after the process began, and the most
// memory it ever held. Prints one JSON object on stdout.
//
// usage: zklog-bench-viewer DATABASE [SPAWNED_AT_NS]
//   SPAWNED_AT_NS: the parent's CLOCK_MONOTONIC just before it started this process.
#include "bench/process_facts.h"
#include "view/main_window.h"

#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QTableView>
#include <QTimer>
#include <QtCharts/QChart>
#include <cstdio>
#include <optional>
#include <string>

namespace {

using zklog::bench::age_ms;
using zklog::bench::monotonic_ns;

// Since the parent's stamp when it gave one, else since the process's creation.
double elapsed_ms(std::int64_t spawned_at_ns) {
    return spawned_at_ns > 0 ? static_cast<double>(monotonic_ns() - spawned_at_ns) / 1e6 : age_ms();
}

class PaintWatch : public QObject {
public:
    PaintWatch(QObject* table, QObject* chart, std::int64_t spawned_at_ns)
        : table_(table), chart_(chart), spawned_at_ns_(spawned_at_ns) {}
    std::optional<double> table_ms;
    std::optional<double> chart_ms;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            if (watched == table_ && !table_ms) {
                table_ms = now_ms();
            } else if (watched == chart_ && !chart_ms) {
                chart_ms = now_ms();
            }
            if (table_ms && chart_ms) {
                QTimer::singleShot(0, qApp, &QApplication::quit);
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    double now_ms() const { return elapsed_ms(spawned_at_ns_); }
    QObject* table_;
    QObject* chart_;
    std::int64_t spawned_at_ns_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: zklog-bench-viewer DATABASE [SPAWNED_AT_NS]\n");
        return 2;
    }
    const std::int64_t spawned = argc > 2 ? std::stoll(argv[2]) : 0;
    // What the system's loader took before any of the program's own code ran.
    const double main_ms = elapsed_ms(spawned);
    int qt_argc = 1;
    QApplication application(qt_argc, argv);
    zklog::view::MainWindow window;
    auto* chart_viewport =
        window.charts().temperature_chart()->scene()->views().value(0)->viewport();
    PaintWatch watch(window.table().viewport(), chart_viewport, spawned);
    window.table().viewport()->installEventFilter(&watch);
    chart_viewport->installEventFilter(&watch);
    window.open_file(argv[1]);
    window.show();
    QTimer::singleShot(30'000, qApp, &QApplication::quit);
    QApplication::exec();
    const auto memory = zklog::bench::own_memory();
    const auto* data = window.charts().data();
    std::printf(
        "{\"first_paint_ms\": %.3f, \"table_paint_ms\": %.3f, \"chart_paint_ms\": %.3f, "
        "\"main_ms\": %.3f, \"hwm_kb\": %ld, \"records\": %zu, \"table_rows_loaded\": %d}\n",
        std::max(watch.table_ms.value_or(-1), watch.chart_ms.value_or(-1)),
        watch.table_ms.value_or(-1), watch.chart_ms.value_or(-1), main_ms, memory.hwm_kb,
        data ? data->size() : 0, window.model().rowCount());
    return watch.table_ms && watch.chart_ms ? 0 : 1;
}
