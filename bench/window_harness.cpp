// zklog's window started as its main() starts it, instrumented: when the first paint comes
// after the process began, and the resident memory once a whole-memory download has gone
// through the window. zklog itself takes no arguments, so this stands in for it with the
// database and the COM number given here. Prints one JSON object on stdout.
//
// usage: zklog-bench-window DATABASE COM_NUMBER [SPAWNED_AT_NS]
//   SPAWNED_AT_NS: the parent's CLOCK_MONOTONIC just before it started this process; without
//   it the start is the kernel's record of it, in 10 ms ticks.
#include "app/load_form.h"
#include "bench/process_facts.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace {

using zklog::bench::age_ms;
using zklog::bench::monotonic_ns;

// Process age by the finer clock when the parent gave its stamp.
class Stopwatch {
public:
    explicit Stopwatch(std::int64_t spawned_at_ns) : spawned_at_ns_(spawned_at_ns) {}
    double now_ms() const {
        return spawned_at_ns_ > 0 ? static_cast<double>(monotonic_ns() - spawned_at_ns_) / 1e6
                                  : age_ms();
    }

private:
    std::int64_t spawned_at_ns_;
};

// Sees every event of the application and notes when the first paint begins.
class FirstPaint : public QObject {
public:
    FirstPaint(const Stopwatch& clock, std::function<void()> then)
        : clock_(clock), then_(std::move(then)) {}
    std::optional<double> at_ms;
    double kernel_age_ms = -1;
    QString painted; // the object name of the widget painted first

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!at_ms && event->type() == QEvent::Paint) {
            at_ms = clock_.now_ms();
            kernel_age_ms = age_ms();
            painted = watched->objectName();
            then_();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const Stopwatch& clock_;
    std::function<void()> then_;
};

// Answers every message box the download shows, as a user pressing OK would.
class BoxAnswerer : public QObject {
public:
    QStringList texts;

    BoxAnswerer() {
        connect(&timer_, &QTimer::timeout, this, [this] { answer(); });
        timer_.start(5);
    }

private:
    void answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        texts << box->text();
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
            ok->click();
        } else {
            box->reject();
        }
    }

    QTimer timer_;
};

QString json_string(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            out += QLatin1Char('\\');
        }
        out += c;
    }
    return out + QLatin1Char('"');
}

// A control of the form by its object name; the harness cannot go on without it.
template <typename Control> Control* control(QWidget* form, const char* name) {
    auto* found = form->findChild<Control*>(QString::fromLatin1(name));
    if (found == nullptr) {
        std::fprintf(stderr, "the window has no control %s\n", name);
        std::exit(1);
    }
    return found;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s DATABASE COM_NUMBER [SPAWNED_AT_NS]\n", argv[0]);
        return 2;
    }
    const Stopwatch clock(argc == 4 ? std::stoll(argv[3]) : 0);
    const QString com = QString::fromLocal8Bit(argv[2]);

    // As zklog's main: Qt sees the program name only.
    int qt_argc = 1;
    QApplication application(qt_argc, argv);

    double frame_done_ms = -1;
    double download_s = -1;
    std::unique_ptr<zklog::app::frmMain> form;
    FirstPaint first_paint(clock, [&] {
        // Queued behind the paint cycle that has just begun: runs once the first frame is whole.
        QTimer::singleShot(0, form.get(), [&] {
            frame_done_ms = clock.now_ms();
            control<QLineEdit>(form.get(), "txtCOM")->setText(com);
            control<QRadioButton>(form.get(), "optInteira")->setChecked(true);
            const auto started = std::chrono::steady_clock::now();
            control<QPushButton>(form.get(), "cmdGerar")->click();
            download_s =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            QApplication::quit();
        });
    });
    application.installEventFilter(&first_paint);
    BoxAnswerer answerer;

    form = zklog::app::load_main_form(argv[1]);
    if (!form) {
        return 1;
    }
    form->show();
    QApplication::exec();

    const auto memory = zklog::bench::own_memory();
    QStringList messages;
    for (const QString& text : answerer.texts) {
        messages << json_string(text);
    }
    std::printf("{\"first_paint_ms\": %.3f, \"first_paint_kernel_ms\": %.3f, "
                "\"frame_done_ms\": %.3f, \"download_s\": %.6f, \"vmrss_kb\": %ld, "
                "\"vmhwm_kb\": %ld, \"painted\": %s, \"messages\": [%s]}\n",
                first_paint.at_ms.value_or(-1), first_paint.kernel_age_ms, frame_done_ms,
                download_s, memory.rss_kb, memory.hwm_kb,
                json_string(first_paint.painted).toUtf8().constData(),
                messages.join(QStringLiteral(", ")).toUtf8().constData());
    return first_paint.at_ms && download_s >= 0 ? 0 : 1;
}
