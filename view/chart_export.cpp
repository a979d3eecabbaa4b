#include "view/chart_export.h"

#include "store/log_export.h"
#include "view/chart_panel.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLayout>
#include <QPainter>
#include <QPdfWriter>
#include <charconv>
#include <filesystem>
#include <fstream>
#ifdef ZKLOG_VIEW_SVG
#include <QSvgGenerator>
#endif

namespace zklog::view {

namespace {

constexpr int kMinSide = 100;
constexpr int kMaxSide = 10000;

void draw(ChartPanel& panel, QPaintDevice& device, QSize size) {
    panel.resize(size);
    QPainter painter(&device);
    painter.setRenderHint(QPainter::Antialiasing);
    if (device.width() != size.width()) {
        const double scale = static_cast<double>(device.width()) / size.width();
        painter.scale(scale, scale);
    }
    panel.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
}

} // namespace

QStringList chart_formats() {
#ifdef ZKLOG_VIEW_SVG
    return {QStringLiteral("png"), QStringLiteral("svg"), QStringLiteral("pdf")};
#else
    return {QStringLiteral("png"), QStringLiteral("pdf")};
#endif
}

std::optional<QString> write_chart(ChartPanel& panel, const QString& path, QSize size) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (!chart_formats().contains(suffix)) {
        return QStringLiteral("Formato de imagem não suportado: %1 (use %2).")
            .arg(path, chart_formats().join(QStringLiteral(", ")));
    }
    panel.show_off_screen(size);
    bool written = false;
    if (suffix == QStringLiteral("png")) {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        draw(panel, image, size);
        written = image.save(path, "PNG");
    } else if (suffix == QStringLiteral("pdf")) {
        QPdfWriter pdf(path);
        pdf.setResolution(96);
        pdf.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
        pdf.setPageMargins({});
        draw(panel, pdf, size);
        written = QFileInfo(path).size() > 0;
#ifdef ZKLOG_VIEW_SVG
    } else {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(), size));
        svg.setTitle(QStringLiteral("LOG do ZKA / ZKB"));
        draw(panel, svg, size);
        written = QFileInfo(path).size() > 0;
#endif
    }
    if (!written) {
        QFile::remove(path);
        return QStringLiteral("Não foi possível gravar %1.").arg(path);
    }
    return std::nullopt;
}

std::optional<QString> write_table(SQLite::Database& db, const LogFilter& filter,
                                   const QString& path) {
    try {
        SQLite::Statement query = select_rows(db, filter, 0, -1, false);
        store::export_log(query, std::filesystem::path(path.toStdU16String()));
        return std::nullopt;
    } catch (const std::exception& e) {
        return QStringLiteral("Não foi possível gravar %1: %2")
            .arg(path, QString::fromUtf8(e.what()));
    }
}

std::optional<QSize> parse_size(std::string_view text) {
    const auto x = text.find('x');
    if (x == std::string_view::npos) {
        return std::nullopt;
    }
    int width = 0;
    int height = 0;
    const auto w = std::from_chars(text.data(), text.data() + x, width);
    const auto h = std::from_chars(text.data() + x + 1, text.data() + text.size(), height);
    if (w.ec != std::errc{} || w.ptr != text.data() + x || h.ec != std::errc{} ||
        h.ptr != text.data() + text.size() || width < kMinSide || height < kMinSide ||
        width > kMaxSide || height > kMaxSide) {
        return std::nullopt;
    }
    return QSize(width, height);
}

} // namespace zklog::view
