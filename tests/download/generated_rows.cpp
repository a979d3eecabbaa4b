#include "tests/download/generated_rows.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <array>
#include <bit>
#include <gtest/gtest.h>

namespace zklog::test {

namespace {

std::string flags_text(unsigned bits, const std::vector<std::string>& texts) {
    std::string text;
    for (std::size_t bit = 0; bit < texts.size(); ++bit) {
        if (bits & (1u << bit)) {
            text += "| " + texts[bit];
        }
    }
    return text;
}

void expect_text(const store::LogRow& row, const char* field, const std::string& expected) {
    if (expected.empty()) {
        EXPECT_TRUE(row.is_null(field)) << field << " should be NULL";
    } else {
        const auto* text = std::get_if<std::string>(&row.get(field));
        ASSERT_NE(text, nullptr) << field;
        EXPECT_EQ(*text, expected) << field;
    }
}

// Flag lists are checked by count: the decoding unit tests pin down every flag's text.
void expect_flag_count(const store::LogRow& row, const char* field, unsigned bits) {
    const int expected = std::popcount(bits);
    if (expected == 0) {
        EXPECT_TRUE(row.is_null(field)) << field << " should be NULL";
        return;
    }
    const auto* text = std::get_if<std::string>(&row.get(field));
    ASSERT_NE(text, nullptr) << field;
    int bars = 0;
    for (std::size_t at = text->find("| "); at != std::string::npos;
         at = text->find("| ", at + 1)) {
        ++bars;
    }
    EXPECT_EQ(bars, expected) << field << ": " << *text;
}

void expect_real(const store::LogRow& row, const char* field, double expected) {
    const auto* value = std::get_if<double>(&row.get(field));
    ASSERT_NE(value, nullptr) << field;
    EXPECT_EQ(*value, expected) << field;
}

void expect_null(const store::LogRow& row, std::initializer_list<const char*> fields) {
    for (const char* field : fields) {
        EXPECT_TRUE(row.is_null(field)) << field << " should be NULL";
    }
}

} // namespace

std::vector<store::LogRow> read_log_rows(const std::filesystem::path& database) {
    SQLite::Database db(database.string(), SQLite::OPEN_READONLY);
    SQLite::Statement query(db, "SELECT * FROM LOG ORDER BY rowid");
    std::vector<store::LogRow> rows;
    while (query.executeStep()) {
        store::LogRow row;
        for (int i = 0; i < query.getColumnCount(); ++i) {
            const auto column = query.getColumn(i);
            const std::string name = query.getColumnName(i);
            if (column.isText()) {
                row.set(name, column.getString());
            } else if (column.isFloat()) {
                row.set(name, column.getDouble());
            } else if (column.isInteger()) {
                row.set(name, static_cast<std::int64_t>(column.getInt64()));
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

void expect_row_matches(const store::LogRow& row, const sim::GeneratedRecord& r,
                        bool checksum_valid) {
    SCOPED_TRACE("record at " + std::to_string(r.start));
    expect_text(row, "Data",
                std::to_string(r.day) + "/" + std::to_string(r.month) + "/" +
                    std::to_string(r.year));
    expect_text(row, "Hora",
                std::to_string(r.hour) + ":" + std::to_string(r.minute) + ":" +
                    std::to_string(r.second));
    expect_flag_count(row, "Causa", r.cause & 0x1Fu);
    expect_text(row, "Mapas", flags_text(r.maps, {"ZKA", "ZKB", "WPX"}));
    const std::vector<std::string> relays{"RL1", "RL2", "RL3", "RL4", "RL5", "RL6", "RL7", "RL8"};
    expect_text(row, "Reles Ativos", flags_text(r.relays, relays));
    expect_flag_count(row, "Erros", r.errors & 0x3FFFu);
    expect_real(row, "RTD1", r.rtd1 / 10.0);
    expect_real(row, "RTD2", r.rtd2 / 10.0);
    expect_real(row, "TC1", r.tc1 / 100.0);
    expect_real(row, "Enrolamento", r.enrolamento / 10.0);

    if (r.maps & sim::kMapZkb) {
        expect_text(row, "Reles Ativos2", flags_text(r.relays2, relays));
        expect_flag_count(row, "Erros2", r.errors2 & 0x3FFFu);
        expect_real(row, "RTD3", r.rtd3 / 10.0);
        expect_real(row, "RTD4", r.rtd4 / 10.0);
        expect_real(row, "Enrolamento2", r.enrolamento2 / 10.0);
        expect_real(row, "Enrolamento3", r.enrolamento3 / 10.0);
        expect_real(row, "TC3", r.tc3 / 100.0);
        expect_real(row, "TC4", r.tc4 / 100.0);
    } else {
        expect_null(row, {"Reles Ativos2", "Erros2", "RTD3", "RTD4", "Enrolamento2", "Enrolamento3",
                          "TC3", "TC4"});
    }
    if (r.maps & sim::kMapWpx) {
        const std::array<const char*, 6> names = {"Dif Instantaneo1", "Dif Instantaneo2",
                                                  "Dif Instantaneo3", "Dif Filtrado1",
                                                  "Dif Filtrado2",    "Dif Filtrado3"};
        for (int i = 0; i < 6; ++i) {
            expect_real(row, names[i], r.dif[i] / 10.0);
        }
    } else {
        expect_null(row, {"Dif Instantaneo1", "Dif Instantaneo2", "Dif Instantaneo3",
                          "Dif Filtrado1", "Dif Filtrado2", "Dif Filtrado3"});
    }
    EXPECT_EQ(std::get<std::int64_t>(row.get("CRC")), r.words.back());
    EXPECT_EQ(std::get<std::int64_t>(row.get("CRC_Valido")), checksum_valid ? 1 : 0);
}

} // namespace zklog::test
