#include "view/report_event_pages.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <array>

namespace zklog::view {

namespace {

const QColor kRuleColour(0x99, 0x99, 0x99);
const QColor kHeaderFill(0xe4, 0xe4, 0xe4);

const EventRow& header_row() {
    static const EventRow header{QStringLiteral("Data e hora"), QStringLiteral("Registro"),
                                 QStringLiteral("Evento")};
    return header;
}

// Widths of many texts that differ mostly in their digits, as stamps and record numbers do: a
// text is measured with each digit taken as the widest one, so all texts of one shape are
// measured once, and none is wider than its measure. Shaping every text would take longer than
// painting them.
class ShapeWidths {
public:
    explicit ShapeWidths(const QFontMetricsF& metrics) : metrics_(metrics) {
        for (char digit = '0'; digit <= '9'; ++digit) {
            if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widest_)) {
                widest_ = QChar(digit);
            }
        }
    }

    double operator()(const QString& text) {
        QString shape = text;
        for (QChar& each : shape) {
            if (each.isDigit()) {
                each = widest_;
            }
        }
        const auto known = widths_.constFind(shape);
        if (known != widths_.constEnd()) {
            return *known;
        }
        const double width = metrics_.horizontalAdvance(shape);
        widths_.insert(shape, width);
        return width;
    }

private:
    const QFontMetricsF& metrics_;
    QChar widest_ = QLatin1Char('0');
    QHash<QString, double> widths_;
};

// Latin text reads the same unshaped (no kerning, no ligatures), and shaping tens of thousands
// of rows is most of the time they take.
QFont unshaped(QFont font) {
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

QFont scaled(QFont font, double factor, bool bold) {
    font.setPointSizeF(font.pointSizeF() * factor);
    font.setBold(bold);
    return font;
}

} // namespace

EventPages::EventPages(std::vector<EventRow> rows, const QFont& font, QPaintDevice* device,
                       QSizeF body)
    : rows_(std::move(rows)), font_(unshaped(font)), bold_(scaled(font_, 1.0, true)),
      title_font_(scaled(font, 1.5, true)), device_(device), body_(body) {
    // About 0.6 mm around each cell's text, as the figures' tables have.
    padding_ = device->logicalDpiY() * 0.025;
    const QFontMetricsF plain(font_, device_);
    const QFontMetricsF bold(bold_, device_);
    line_height_ = std::max(plain.height(), bold.height()) + 2 * padding_;
    title_height_ = QFontMetricsF(title_font_, device_).height() * 1.8;

    const EventRow& header = header_row();
    double widest_when = bold.horizontalAdvance(header.when);
    double widest_record = bold.horizontalAdvance(header.record);
    double widest_text = bold.horizontalAdvance(header.text);
    ShapeWidths width_of(plain);
    std::vector<double> text_widths;
    text_widths.reserve(rows_.size());
    for (const EventRow& row : rows_) {
        widest_when = std::max(widest_when, width_of(row.when));
        widest_record = std::max(widest_record, width_of(row.record));
        text_widths.push_back(width_of(row.text));
        widest_text = std::max(widest_text, text_widths.back());
    }
    columns_.when = widest_when + 2 * padding_;
    columns_.record = widest_record + 2 * padding_;
    // The event's own words take what the page has left, and wrap when that is not enough.
    columns_.text = std::max(
        std::min(widest_text + 2 * padding_, body_.width() - columns_.when - columns_.record),
        body_.width() / 4);

    heights_.reserve(rows_.size());
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        heights_.push_back(row_height(rows_[row], text_widths[row]));
    }

    double top = title_height_ + line_height_;
    first_rows_.push_back(0);
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        // A row taller than a whole page still gets one of its own rather than none.
        const bool page_has_rows = first_rows_.back() < row;
        if (top + heights_[row] > body_.height() && page_has_rows) {
            first_rows_.push_back(row);
            top = line_height_;
        }
        top += heights_[row];
    }
}

double EventPages::row_height(const EventRow& row, double text_width) const {
    const double room = columns_.text - 2 * padding_;
    if (text_width <= room) {
        return line_height_;
    }
    const QFontMetricsF plain(font_, device_);
    const QRectF wrapped =
        plain.boundingRect(QRectF(0, 0, room, body_.height()), Qt::TextWordWrap, row.text);
    return std::max(line_height_, wrapped.height() + 2 * padding_);
}

void EventPages::draw_header(QPainter& painter, double top) const {
    const EventRow& header = header_row();
    painter.fillRect(QRectF(0, top, columns_.when + columns_.record + columns_.text, line_height_),
                     kHeaderFill);
    painter.setFont(bold_);
    const double baseline = top + padding_ + QFontMetricsF(bold_, device_).ascent();
    painter.drawText(QPointF(padding_, baseline), header.when);
    painter.drawText(QPointF(columns_.when + padding_, baseline), header.record);
    painter.drawText(QPointF(columns_.when + columns_.record + padding_, baseline), header.text);
}

void EventPages::draw_column(QPainter& painter, const PageRows& rows, QString EventRow::*cell,
                             double left, double width, Qt::Alignment alignment) const {
    // One layout for the page's whole column, a forced line break between rows: laying out
    // and shaping each cell on its own costs several times as much.
    QString text;
    std::vector<qsizetype> starts;
    for (std::size_t row = rows.first; row < rows.end; ++row) {
        if (row > rows.first) {
            text += QChar::LineSeparator;
        }
        starts.push_back(text.size());
        text += rows_[row].*cell;
    }
    QTextLayout layout(text, font_, device_);
    QTextOption option(alignment);
    // The stamps and numbers are measured to fit; an event's words wrap when they do not.
    option.setWrapMode(cell == &EventRow::text ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                               : QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    std::size_t row = 0;
    double y = rows.tops[0] + padding_;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width - 2 * padding_);
        if (row + 1 < starts.size() && line.textStart() >= starts[row + 1]) {
            ++row;
            y = rows.tops[row] + padding_;
        }
        line.setPosition(QPointF(left + padding_, y));
        y += line.height();
    }
    layout.endLayout();
    layout.draw(&painter, QPointF());
}

void EventPages::draw_page(QPainter& painter, int page) const {
    painter.save();
    painter.setPen(Qt::black);
    double top = 0;
    if (page == 0) {
        painter.setFont(title_font_);
        painter.drawText(QRectF(0, 0, body_.width(), title_height_), Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("Eventos"));
        top = title_height_;
    }
    if (rows_.empty()) {
        painter.setFont(font_);
        painter.drawText(QRectF(0, top, body_.width(), line_height_), Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("Nenhum evento."));
        painter.restore();
        return;
    }
    const std::size_t first = first_rows_[static_cast<std::size_t>(page)];
    const std::size_t end = static_cast<std::size_t>(page) + 1 < first_rows_.size()
                                ? first_rows_[static_cast<std::size_t>(page) + 1]
                                : rows_.size();
    const double table_top = top;
    std::vector<double> rules{top};
    draw_header(painter, top);
    top += line_height_;
    PageRows rows{first, end, {}};
    for (std::size_t row = first; row < end; ++row) {
        rows.tops.push_back(top);
        rules.push_back(top);
        top += heights_[row];
    }
    rules.push_back(top);
    painter.setFont(font_);
    draw_column(painter, rows, &EventRow::when, 0, columns_.when, Qt::AlignLeft);
    draw_column(painter, rows, &EventRow::record, columns_.when, columns_.record, Qt::AlignRight);
    draw_column(painter, rows, &EventRow::text, columns_.when + columns_.record, columns_.text,
                Qt::AlignLeft);

    // The rules last, over the header's fill: one line per row and per column edge.
    QPen rule(kRuleColour);
    rule.setWidthF(device_->logicalDpiY() / 150.0);
    painter.setPen(rule);
    const std::array edges{0.0, columns_.when, columns_.when + columns_.record,
                           columns_.when + columns_.record + columns_.text};
    for (const double y : rules) {
        painter.drawLine(QPointF(edges[0], y), QPointF(edges[3], y));
    }
    for (const double x : edges) {
        painter.drawLine(QPointF(x, table_top), QPointF(x, top));
    }
    painter.restore();
}

} // namespace zklog::view
