#include "view/report_document.h"

#include "view/chart_panel.h"
#include "view/report_event_pages.h"
#include "view/report_text.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>

namespace zklog::view {

namespace {

// Dots per inch of the PDF's coordinates; text and charts are vector whatever it is.
constexpr int kResolution = 300;
// The charts are laid out at this many pixels across, as in a wide window, then scaled to the
// page.
constexpr int kChartWidth = 1400;
constexpr double kMarginMm = 15;
// The band at the foot of each page that holds its number.
constexpr double kFooterInches = 0.3;

QRectF paint_rect(const QPdfWriter& pdf) {
    return pdf.pageLayout().paintRectPixels(pdf.resolution());
}

// The part of the page above the footer.
QSizeF body_size(const QPdfWriter& pdf) {
    const QRectF page = paint_rect(pdf);
    return {page.width(), page.height() - pdf.resolution() * kFooterInches};
}

QString plain_text_of(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString text_of(std::string_view text) {
    return plain_text_of(text).toHtmlEscaped();
}

QString cell(const QString& text, bool number = false) {
    return number ? QStringLiteral("<td align=\"right\">%1</td>").arg(text)
                  : QStringLiteral("<td>%1</td>").arg(text);
}

QString header_row(std::initializer_list<const char*> names) {
    // A header row repeats at the top of each page a long table runs onto.
    QString row = QStringLiteral("<thead><tr>");
    for (const char* name : names) {
        row += QStringLiteral("<th bgcolor=\"#e4e4e4\" align=\"left\">%1</th>")
                   .arg(QString::fromUtf8(name));
    }
    return row + QStringLiteral("</tr></thead>");
}

QString table(const QString& rows) {
    return QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" "
                          "style=\"border-color: #999999; border-style: solid\">%1</table>")
        .arg(rows);
}

// Where a record is in time: its stamp, or its record number when the clock wrote nonsense.
QString when(const ReportLog& log, const ReportFigures& figures, std::size_t record) {
    if (const auto& stamp = figures.stamps[record]) {
        return stamp_text(*stamp);
    }
    return QStringLiteral("sem data (registro %1)").arg(log.data.rowids[record]);
}

QString summary(const ReportFigures& figures, const ReportHeading& heading) {
    const QString period =
        figures.first_stamped
            ? QStringLiteral("%1 a %2").arg(stamp_text(*figures.stamps[*figures.first_stamped]),
                                            stamp_text(*figures.stamps[*figures.last_stamped]))
            : QStringLiteral("sem data e hora válidas");
    auto line = [](const char* name, const QString& value) {
        return QStringLiteral("<tr><td>%1</td><td>%2</td></tr>")
            .arg(QString::fromUtf8(name), value);
    };
    return table(
        line("Arquivo", heading.file_name.toHtmlEscaped()) +
        line("Gerado em", heading.made_at.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))) +
        line("Período", period) + line("Registros", QString::number(figures.records)) +
        line("Com CRC inválido (CRC_Valido 0)", QString::number(figures.checksum_failures)) +
        line("Sem data e hora válidas", QString::number(figures.unstamped)));
}

QString readings(const ReportLog& log, const ReportFigures& figures) {
    if (figures.readings.empty()) {
        return QStringLiteral("<p>Nenhuma leitura de temperatura.</p>");
    }
    QString rows = header_row({"Sensor", "Mínima", "Média", "Máxima", "Máxima em", "Leituras"});
    for (const auto& reading : figures.readings) {
        rows += QStringLiteral("<tr>") + cell(text_of(kTemperatureFields[reading.field])) +
                cell(temperature_text(reading.minimum), true) +
                cell(temperature_text(reading.mean), true) +
                cell(temperature_text(reading.maximum), true) +
                cell(when(log, figures, reading.maximum_record)) +
                cell(QString::number(reading.readings), true) + QStringLiteral("</tr>");
    }
    return table(rows);
}

QString relays(const ReportLog& log, const ReportFigures& figures) {
    QString rows =
        header_row({"Relé", "Operações", "Tempo ligado", "Maior tempo ligado", "Início do maior"});
    for (std::size_t relay = 0; relay < figures.relays.size(); ++relay) {
        const RelayFigures& each = figures.relays[relay];
        rows += QStringLiteral("<tr>") + cell(QStringLiteral("RL%1").arg(relay + 1)) +
                cell(QString::number(each.operations), true) +
                cell(duration_text(each.seconds_on), true) +
                cell(each.longest_from ? duration_text(each.longest_seconds) : QStringLiteral("—"),
                     true) +
                cell(each.longest_from ? when(log, figures, *each.longest_from)
                                       : QStringLiteral("nunca ligado")) +
                QStringLiteral("</tr>");
    }
    return table(rows);
}

QString causes(const ReportFigures& figures) {
    QString rows = header_row({"Causa", "Registros"});
    for (const auto& [cause, records] : figures.causes) {
        rows += QStringLiteral("<tr>") +
                cell(cause.empty() ? QStringLiteral("(sem causa)") : text_of(cause)) +
                cell(QString::number(records), true) + QStringLiteral("</tr>");
    }
    return table(rows);
}

QString event_text(const ReportLog& log, const ReportFigures& figures, const ReportEvent& event) {
    switch (event.kind) {
    case EventKind::PowerUp:
        return event.gap_seconds ? QStringLiteral("Power Up, %1 desde o registro anterior")
                                       .arg(duration_text(*event.gap_seconds))
                                 : QStringLiteral("Power Up");
    case EventKind::SensorFault:
        return QStringLiteral("Falha do sensor %1 até %2")
            .arg(plain_text_of(kTemperatureFields[event.field]),
                 when(log, figures, event.until_record));
    case EventKind::ChecksumFailure:
        return QStringLiteral("CRC inválido");
    }
    return {};
}

std::vector<EventRow> event_rows(const ReportLog& log, const ReportFigures& figures) {
    std::vector<EventRow> rows;
    rows.reserve(figures.events.size());
    for (const auto& event : figures.events) {
        rows.push_back({when(log, figures, event.record),
                        QString::number(log.data.rowids[event.record]),
                        event_text(log, figures, event)});
    }
    return rows;
}

void draw_footer(QPainter& painter, const QRectF& area, const QString& text) {
    QFont small = painter.font();
    small.setPointSizeF(7.5);
    painter.setFont(small);
    painter.setPen(QColor(0x55, 0x55, 0x55));
    painter.drawText(area, Qt::AlignRight | Qt::AlignBottom, text);
}

QString page_footer(const QString& footer, int number, int total_pages) {
    return QStringLiteral("%1 — página %2 de %3").arg(footer).arg(number).arg(total_pages);
}

// The rich text, already cut into pages of body_size(), each page with its footer.
void draw_text_pages(QPainter& painter, QPdfWriter& pdf, QTextDocument& document,
                     const QString& footer, int total_pages) {
    const QSizeF body = body_size(pdf);
    const int pages = document.pageCount();
    for (int number = 0; number < pages; ++number) {
        if (number > 0) {
            pdf.newPage();
        }
        const double top = number * body.height();
        painter.save();
        painter.translate(0, -top);
        document.drawContents(&painter, QRectF(QPointF(0, top), body));
        painter.restore();
        draw_footer(painter, QRectF(QPointF(), paint_rect(pdf).size()),
                    page_footer(footer, number + 1, total_pages));
    }
}

// The events from a page of their own, after `pages_before`.
void draw_event_pages(QPainter& painter, QPdfWriter& pdf, const EventPages& events,
                      const QString& footer, int pages_before, int total_pages) {
    for (int number = 0; number < events.page_count(); ++number) {
        pdf.newPage();
        events.draw_page(painter, number);
        draw_footer(painter, QRectF(QPointF(), paint_rect(pdf).size()),
                    page_footer(footer, pages_before + number + 1, total_pages));
    }
}

void draw_charts(QPainter& painter, QPdfWriter& pdf, const ChartData& data, const QString& footer,
                 int page_number) {
    const QSizeF body = body_size(pdf);
    const double scale = body.width() / kChartWidth;
    ChartPanel panel;
    panel.set_data(std::make_shared<ChartData>(data));
    panel.show_off_screen(QSize(kChartWidth, static_cast<int>(body.height() / scale)));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    panel.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.restore();
    draw_footer(painter, QRectF(QPointF(), paint_rect(pdf).size()),
                page_footer(footer, page_number, page_number));
}

} // namespace

QString report_html(const ReportLog& log, const ReportFigures& figures,
                    const ReportHeading& heading) {
    return QStringLiteral("<html><body>"
                          "<h1>%1</h1>"
                          "<p>Relatório do LOG do relé de temperatura ZKA / ZKB</p>%2"
                          "<h2>Temperaturas</h2>%3"
                          "<h2>Relés</h2>%4"
                          "<h2>Registros por causa</h2>%5"
                          "<p><small>Leituras nulas e as que o próprio registro marca como de "
                          "sensor em falha ficam fora de todos os números. Um registro vale até "
                          "o registro seguinte; tempos em h:mm.</small></p>"
                          "</body></html>")
        .arg(heading.title.toHtmlEscaped(), summary(figures, heading), readings(log, figures),
             relays(log, figures), causes(figures));
}

std::optional<QString> write_report_pdf(const ReportLog& log, const ReportHeading& heading,
                                        const QString& path) {
    const ReportFigures figures = compute_report_figures(log);
    const QString partial = path + QStringLiteral(".partial");
    QFile::remove(partial);
    bool written = false;
    {
        QPdfWriter pdf(partial);
        pdf.setTitle(heading.title);
        pdf.setCreator(QStringLiteral("zklog-view"));
        pdf.setResolution(kResolution);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                      QPageLayout::Millimeter));
        QTextDocument document;
        document.documentLayout()->setPaintDevice(&pdf);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setStyleHint(QFont::SansSerif);
        font.setPointSizeF(9);
        document.setDefaultFont(font);
        document.setHtml(report_html(log, figures, heading));
        document.setPageSize(body_size(pdf));
        const int text_pages = document.pageCount();
        const EventPages events(event_rows(log, figures), font, &pdf, body_size(pdf));
        const int total_pages = text_pages + events.page_count() + 1;
        const QString footer = heading.title == heading.file_name
                                   ? heading.title
                                   : heading.title + QStringLiteral(" — ") + heading.file_name;
        QPainter painter;
        if (painter.begin(&pdf)) {
            draw_text_pages(painter, pdf, document, footer, total_pages);
            draw_event_pages(painter, pdf, events, footer, text_pages, total_pages);
            pdf.setPageOrientation(QPageLayout::Landscape);
            pdf.newPage();
            draw_charts(painter, pdf, log.data, footer, total_pages);
            written = painter.end();
        }
    }
    // QFile::rename never replaces a file; the old report goes only once the new one is whole.
    if (written) {
        QFile::remove(path);
        written = QFile::rename(partial, path);
    }
    if (!written) {
        QFile::remove(partial);
        return QStringLiteral("Não foi possível gravar %1.").arg(path);
    }
    return std::nullopt;
}

} // namespace zklog::view
