// zklog-view: shows table LOG of a log database as a table and charts, writes the charts to an
// image with --render, or the service report to a PDF with --report.
#include "device/port_path.h"
#include "store/log_database.h"
#include "view/chart_export.h"
#include "view/headless_platform.h"
#include "view/main_window.h"
#include "view/render.h"
#include "view/report.h"

#include <QApplication>
#include <iostream>
#include <optional>
#include <string_view>

namespace {

struct Arguments {
    std::optional<std::filesystem::path> file;
    std::optional<QString> render;
    std::optional<QString> report;
    std::optional<QString> title;
    QSize size{1200, 700};
};

constexpr std::string_view kUsage =
    "uso: zklog-view [ARQUIVO]\n"
    "     zklog-view --render SAIDA.png|SAIDA.svg|SAIDA.pdf [--size LARGURAxALTURA] ARQUIVO\n"
    "     zklog-view --report SAIDA.pdf [--title TEXTO] [ARQUIVO]\n";

// Returns nullopt after telling what is wrong.
std::optional<Arguments> parse(int argc, char** argv) {
    Arguments args;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--render" || arg == "--size" || arg == "--report" || arg == "--title") {
            if (i + 1 >= argc) {
                std::cerr << "zklog-view: falta o valor de " << arg << "\n" << kUsage;
                return std::nullopt;
            }
            const std::string_view value = argv[++i];
            const QString text =
                QString::fromLocal8Bit(value.data(), static_cast<qsizetype>(value.size()));
            if (arg == "--render") {
                args.render = text;
            } else if (arg == "--report") {
                args.report = text;
            } else if (arg == "--title") {
                args.title = text;
            } else if (const auto size = zklog::view::parse_size(value)) {
                args.size = *size;
            } else {
                std::cerr << "zklog-view: tamanho inválido: " << value
                          << " (use LARGURAxALTURA, por exemplo 1200x700)\n";
                return std::nullopt;
            }
        } else if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            std::exit(0);
        } else if (arg.starts_with("-") && arg != "-") {
            std::cerr << "zklog-view: opção desconhecida: " << arg << "\n" << kUsage;
            return std::nullopt;
        } else if (args.file) {
            std::cerr << "zklog-view: só um arquivo por vez\n" << kUsage;
            return std::nullopt;
        } else {
            args.file = std::filesystem::path(arg);
        }
    }
    if (args.render && !args.file) {
        std::cerr << "zklog-view: --render precisa do ARQUIVO do banco de dados\n" << kUsage;
        return std::nullopt;
    }
    if (args.render && args.report) {
        std::cerr << "zklog-view: --render e --report não vão juntos\n" << kUsage;
        return std::nullopt;
    }
    if (args.title && !args.report) {
        std::cerr << "zklog-view: --title é só para --report\n" << kUsage;
        return std::nullopt;
    }
    return args;
}

} // namespace

int main(int argc, char** argv) {
    const auto args = parse(argc, argv);
    if (!args) {
        return 1;
    }
    // A render needs no screen: without one it must still work, from a script or a cron job.
    if ((args->render || args->report) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", zklog::view::headless_platform());
    }
    int qt_argc = argc > 0 ? 1 : 0;
    QApplication application(qt_argc, argv);

    if (args->render) {
        return zklog::view::render_to_file({*args->file, *args->render, args->size});
    }
    const auto database =
        args->file.value_or(zklog::store::default_database_path(zklog::device::executable_dir()));
    if (args->report) {
        return zklog::view::report_to_file({database, *args->report, args->title});
    }
    zklog::view::MainWindow window;
    window.open_file(database);
    window.show();
    return QApplication::exec();
}
