// The report's list of events as pages of a plain three-column table, laid out and painted row
// by row. A log of many thousand records holds tens of thousands of events; rich text lays a
// table that long out and paints each page of it in time that grows with the whole table.
#pragma once

#include <QFont>
#include <QSizeF>
#include <QString>
#include <vector>

class QPainter;
class QPaintDevice;

namespace zklog::view {

struct EventRow {
    QString when;
    QString record;
    QString text;
};

class EventPages {
public:
    // `device` gives the metrics the rows are measured in; `body` is the space of one page.
    EventPages(std::vector<EventRow> rows, const QFont& font, QPaintDevice* device, QSizeF body);

    int page_count() const { return static_cast<int>(first_rows_.size()); }
    // Page `page` (from 0) at the painter's origin: the title on the first, the column names on
    // every one.
    void draw_page(QPainter& painter, int page) const;

private:
    struct Columns {
        double when = 0;
        double record = 0;
        double text = 0;
    };

    // The rows of one page and where each begins.
    struct PageRows {
        std::size_t first = 0;
        std::size_t end = 0;
        std::vector<double> tops;
    };

    double row_height(const EventRow& row, double text_width) const;
    void draw_header(QPainter& painter, double top) const;
    void draw_column(QPainter& painter, const PageRows& rows, QString EventRow::*cell, double left,
                     double width, Qt::Alignment alignment) const;

    std::vector<EventRow> rows_;
    QFont font_;
    QFont bold_;
    QFont title_font_;
    QPaintDevice* device_;
    QSizeF body_;
    double padding_ = 0;
    double line_height_ = 0;
    double title_height_ = 0;
    Columns columns_;
    std::vector<double> heights_;
    // The index in rows_ of each page's first row; rows_.size() for an empty list's one page.
    std::vector<std::size_t> first_rows_;
};

} // namespace zklog::view
