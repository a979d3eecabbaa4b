#include "store/xlsx_writer.h"

#include "store/c_file_name.h"
#include "store/log_fields.h"
#include "store/log_stamp.h"

#include <SQLiteCpp/Column.h>
#include <algorithm>
#include <clocale>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <xlsxwriter.h>

namespace zklog::store {

namespace {

constexpr const char* kSheetName = "LOG";
constexpr const char* kStampHeader = "Data e Hora";
constexpr const char* kStampFormat = "dd/mm/yyyy hh:mm:ss";
// Column widths in characters: the stamp as its format shows it, a reading as "-3276,8", and a
// text as long as the decoders write it, capped so that the flag lists do not push the readings
// off the screen (the cell still holds the whole text).
constexpr double kStampWidth = 19;
constexpr double kNumberWidth = 8;
constexpr double kMaxTextWidth = 40;

double column_width(const FieldDef& field) {
    const auto name_width = static_cast<double>(field.name.size()) + 2; // room for the filter
    const double content = field.kind == FieldKind::Text
                               ? std::min(static_cast<double>(field.max_length), kMaxTextWidth)
                               : kNumberWidth;
    return std::max(name_width, content);
}

void check(lxw_error error, const char* what) {
    if (error != LXW_NO_ERROR) {
        throw std::runtime_error(std::string(what) + ": " + lxw_strerror(error));
    }
}

// The library prints numbers with the C library's printf, which follows LC_NUMERIC: under a
// locale with a decimal comma (a Brazilian desktop, where Qt sets the locale from the
// environment) 118.3 would go into the sheet as "118,3", which Excel takes for a broken file.
// Numbers are therefore printed in the "C" locale while the workbook is written; the program has
// no other thread that prints numbers meanwhile.
class ClassicNumbers {
public:
    ClassicNumbers() {
        if (const char* current = std::setlocale(LC_NUMERIC, nullptr)) {
            saved_ = current;
        }
        std::setlocale(LC_NUMERIC, "C");
    }
    ClassicNumbers(const ClassicNumbers&) = delete;
    ClassicNumbers& operator=(const ClassicNumbers&) = delete;
    ~ClassicNumbers() {
        if (!saved_.empty()) {
            std::setlocale(LC_NUMERIC, saved_.c_str());
        }
    }

private:
    std::string saved_;
};

class Workbook {
public:
    explicit Workbook(const std::filesystem::path& path) {
        // Constant memory: each row goes to a temporary file as it is written, so a large log
        // costs no more memory than a small one. The temporary files go beside the workbook,
        // where writing is known to be allowed (on Windows the C library's own tmpfile() picks
        // the root of the drive).
        const std::filesystem::path folder =
            path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
        tmpdir_ = c_file_name(folder);
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = tmpdir_.data();
        book_ = workbook_new_opt(c_file_name(path).c_str(), &options);
        if (book_ == nullptr) {
            throw std::runtime_error("cannot create the workbook " + path.string());
        }
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;
    ~Workbook() {
        if (book_ != nullptr) {
            workbook_close(book_); // only after a failure; the file is removed by the caller
        }
    }

    lxw_workbook* get() { return book_; }

    // Writes the file; the workbook is gone afterwards, whatever the outcome.
    void close() {
        lxw_workbook* book = std::exchange(book_, nullptr);
        check(workbook_close(book), "cannot write the workbook");
    }

private:
    std::string tmpdir_;
    lxw_workbook* book_ = nullptr;
};

void write_header(lxw_worksheet* sheet, lxw_format* bold) {
    check(worksheet_write_string(sheet, 0, 0, kStampHeader, bold), "header");
    check(worksheet_set_column(sheet, 0, 0, kStampWidth, nullptr), "column width");
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const auto column = static_cast<lxw_col_t>(i + 1);
        const std::string name(kLogFields[i].name);
        check(worksheet_write_string(sheet, 0, column, name.c_str(), bold), "header");
        check(worksheet_set_column(sheet, column, column, column_width(kLogFields[i]), nullptr),
              "column width");
    }
}

// The stamp cell: a date-time only where `Data` and `Hora` are a real date and clock time.
void write_stamp(lxw_worksheet* sheet, lxw_row_t row, SQLite::Statement& query,
                 lxw_format* date_format) {
    const SQLite::Column data = query.getColumn(0);
    const SQLite::Column hora = query.getColumn(1);
    if (!data.isText() || !hora.isText()) {
        return;
    }
    const auto stamp = parse_time_stamp(data.getString(), hora.getString());
    if (!stamp) {
        return;
    }
    lxw_datetime when{stamp->year, stamp->month,  stamp->day,
                      stamp->hour, stamp->minute, static_cast<double>(stamp->second)};
    check(worksheet_write_datetime(sheet, row, 0, &when, date_format), "date");
}

void write_fields(lxw_worksheet* sheet, lxw_row_t row, SQLite::Statement& query) {
    for (int i = 0; i < query.getColumnCount(); ++i) {
        const SQLite::Column column = query.getColumn(i);
        const auto cell = static_cast<lxw_col_t>(i + 1);
        if (column.isFloat()) {
            check(worksheet_write_number(sheet, row, cell, column.getDouble(), nullptr), "number");
        } else if (column.isInteger()) {
            check(worksheet_write_number(sheet, row, cell, static_cast<double>(column.getInt64()),
                                         nullptr),
                  "number");
        } else if (column.isText()) {
            check(worksheet_write_string(sheet, row, cell, column.getText(), nullptr), "text");
        }
    }
}

} // namespace

long write_log_xlsx(SQLite::Statement& query, const std::filesystem::path& path) {
    const ClassicNumbers numbers;
    Workbook book(path);
    lxw_worksheet* sheet = workbook_add_worksheet(book.get(), kSheetName);
    lxw_format* bold = workbook_add_format(book.get());
    lxw_format* date_format = workbook_add_format(book.get());
    if (sheet == nullptr || bold == nullptr || date_format == nullptr) {
        throw std::runtime_error("cannot create the workbook " + path.string());
    }
    format_set_bold(bold);
    format_set_num_format(date_format, kStampFormat);

    write_header(sheet, bold);
    lxw_row_t row = 0;
    while (query.executeStep()) {
        ++row;
        write_stamp(sheet, row, query, date_format);
        write_fields(sheet, row, query);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    check(worksheet_autofilter(sheet, 0, 0, row, static_cast<lxw_col_t>(kFieldCount)),
          "autofilter");
    book.close();
    return static_cast<long>(row);
}

} // namespace zklog::store
