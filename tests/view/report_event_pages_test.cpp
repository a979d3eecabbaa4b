// The report's list of events on pages of its own: rows of random length on a small page, read
// back from the PDF with pdftotext, must each be there once, in order, under the column names,
// and every word inside the page's body.
#include "tests/support/temp_dir.h"
#include "tests/view/view_process.h"
#include "view/report_event_pages.h"

#include <QFont>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <random>

namespace zklog::view {
namespace {

// Words of the length and alphabet of the events' own texts, accents included.
const QStringList kWords{
    QStringLiteral("Falha"),    QStringLiteral("do"),          QStringLiteral("sensor"),
    QStringLiteral("até"),      QStringLiteral("registro"),    QStringLiteral("Mudança"),
    QStringLiteral("de"),       QStringLiteral("temperatura"), QStringLiteral("enrolamento"),
    QStringLiteral("relé"),     QStringLiteral("RL4"),         QStringLiteral("CRC"),
    QStringLiteral("inválido"), QStringLiteral("Power"),       QStringLiteral("Up,"),
    QStringLiteral("3h07"),     QStringLiteral("desde"),       QStringLiteral("anterior"),
    QStringLiteral("PT100"),    QStringLiteral("óleo"),        QStringLiteral("alarme")};

// Stamps and "no stamp" cells, short events and events far longer than their column, so that
// rows of one line and rows of many fall on every page. None is taller than a page: such a row
// gets a page of its own and runs over its foot.
std::vector<EventRow> random_rows(std::mt19937& random, int count) {
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> day(1, 28);
    std::uniform_int_distribution<int> month(1, 12);
    std::uniform_int_distribution<int> minute(0, 24 * 60 - 1);
    std::uniform_int_distribution<int> gap(1, 40);
    std::uniform_int_distribution<qsizetype> word(0, kWords.size() - 1);
    std::vector<EventRow> rows;
    int record = 0;
    for (int row = 0; row < count; ++row) {
        record += gap(random);
        EventRow each;
        each.record = QString::number(record);
        if (percent(random) < 15) {
            each.when = QStringLiteral("sem data (registro %1)").arg(record);
        } else {
            const int at = minute(random);
            each.when = QStringLiteral("%1/%2/2025 %3:%4:%5")
                            .arg(day(random), 2, 10, QLatin1Char('0'))
                            .arg(month(random), 2, 10, QLatin1Char('0'))
                            .arg(at / 60, 2, 10, QLatin1Char('0'))
                            .arg(at % 60, 2, 10, QLatin1Char('0'))
                            .arg(percent(random) % 60, 2, 10, QLatin1Char('0'));
        }
        const int words =
            percent(random) < 30 ? 12 + percent(random) / 4 : 1 + percent(random) / 20;
        QStringList text;
        for (int i = 0; i < words; ++i) {
            text << kWords[word(random)];
        }
        each.text = text.join(QLatin1Char(' '));
        rows.push_back(std::move(each));
    }
    return rows;
}

struct Word {
    int page = 0;
    QRectF box;
    QString text;
};

// Every word of the PDF with its page and its box in points, as pdftotext -bbox gives them.
std::vector<Word> pdf_words(const std::filesystem::path& pdf) {
    const QString html = test::pdf_text(pdf, {QStringLiteral("-bbox")});
    static const QRegularExpression tag(
        QStringLiteral("<page |<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    std::vector<Word> words;
    int page = -1;
    for (auto match = tag.globalMatch(html); match.hasNext();) {
        const auto found = match.next();
        if (found.captured(0) == QLatin1String("<page ")) {
            ++page;
            continue;
        }
        words.push_back(
            {page,
             QRectF(QPointF(found.captured(1).toDouble(), found.captured(2).toDouble()),
                    QPointF(found.captured(3).toDouble(), found.captured(4).toDouble())),
             found.captured(5)});
    }
    return words;
}

struct ReadRows {
    std::vector<EventRow> rows;
    QStringList faults;
};

// The rows as a reader finds them: a line that begins with a stamp (or "sem data …") and a
// record number begins a row; a line with only words goes on with the row above it.
ReadRows rows_of(const QString& text) {
    static const QRegularExpression row_start(
        QStringLiteral("^\\s*(\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d|sem data \\(registro "
                       "\\d+\\))\\s+(\\d+)\\s+(\\S.*)$"));
    static const QRegularExpression header(
        QStringLiteral("^\\s*Data e hora\\s+Registro\\s+Evento\\s*$"));
    ReadRows read;
    const QStringList pages = text.split(QLatin1Char('\f'));
    for (qsizetype page = 0; page < pages.size(); ++page) {
        bool under_header = false;
        for (const QString& line : pages[page].split(QLatin1Char('\n'))) {
            const QString words = line.simplified();
            if (words.isEmpty() || (page == 0 && words == QLatin1String("Eventos"))) {
                continue;
            }
            if (header.match(line).hasMatch()) {
                under_header = true;
                continue;
            }
            if (!under_header) {
                read.faults << QStringLiteral("page %1: \"%2\" above the column names")
                                   .arg(page + 1)
                                   .arg(words);
                continue;
            }
            const auto start = row_start.match(line);
            if (start.hasMatch()) {
                read.rows.push_back(
                    {start.captured(1), start.captured(2), start.captured(3).simplified()});
            } else if (!read.rows.empty()) {
                read.rows.back().text += QLatin1Char(' ') + words;
            }
        }
    }
    return read;
}

TEST(ReportEventPagesTest, RandomRowsAreEachListedOnceInOrderInsideThePageBody) {
    for (const unsigned seed : {1U, 2U, 3U}) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        const std::vector<EventRow> rows = random_rows(random, 90);
        test::TempDir dir;
        const auto path = dir.file("eventos.pdf");
        QPdfWriter pdf(QString::fromStdString(path.string()));
        pdf.setResolution(300);
        // A small page, so that the long events wrap to many lines and the list takes pages.
        pdf.setPageLayout(QPageLayout(QPageSize(QSizeF(110, 140), QPageSize::Millimeter),
                                      QPageLayout::Portrait, QMarginsF(12, 12, 12, 12),
                                      QPageLayout::Millimeter));
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(9);
        const QSizeF body = pdf.pageLayout().paintRectPixels(pdf.resolution()).size();
        const EventPages events(rows, font, &pdf, body);
        QPainter painter;
        ASSERT_TRUE(painter.begin(&pdf));
        for (int page = 0; page < events.page_count(); ++page) {
            if (page > 0) {
                pdf.newPage();
            }
            events.draw_page(painter, page);
        }
        ASSERT_TRUE(painter.end());

        const QString text = test::pdf_text(path);
        ASSERT_FALSE(text.isEmpty()) << "pdftotext (poppler-utils) read nothing";
        const ReadRows read = rows_of(text);
        EXPECT_TRUE(read.faults.isEmpty()) << read.faults.join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(read.rows.size(), rows.size());
        for (std::size_t row = 0; row < rows.size(); ++row) {
            EXPECT_EQ(read.rows[row].when.toStdString(), rows[row].when.toStdString())
                << "row " << row;
            EXPECT_EQ(read.rows[row].record.toStdString(), rows[row].record.toStdString())
                << "row " << row;
            EXPECT_EQ(read.rows[row].text.toStdString(), rows[row].text.toStdString())
                << "row " << row;
        }

        // The long events did wrap, and the rows took more than one page.
        const auto lines = text.count(QLatin1Char('\n'));
        EXPECT_GT(lines, static_cast<qsizetype>(rows.size() + 2 * events.page_count()));
        const std::vector<Word> words = pdf_words(path);
        ASSERT_FALSE(words.empty());
        EXPECT_EQ(words.back().page + 1, events.page_count());
        EXPECT_GT(events.page_count(), 2);
        // Half a point for the rounding of the boxes pdftotext gives.
        const QRectF inside =
            pdf.pageLayout().paintRect(QPageLayout::Point).adjusted(-.5, -.5, .5, .5);
        for (const Word& word : words) {
            EXPECT_TRUE(inside.contains(word.box))
                << "page " << word.page + 1 << ": \"" << word.text.toStdString() << "\" at "
                << word.box.bottom() << " pt, the body ends at " << inside.bottom() << " pt";
        }
    }
}

} // namespace
} // namespace zklog::view
