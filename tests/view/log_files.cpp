#include "tests/view/log_files.h"

#include "store/log_database.h"

#include <SQLiteCpp/Database.h>
#include <fstream>
#include <sstream>

namespace zklog::test {

void write_log_file(const std::filesystem::path& path, const std::vector<FieldValues>& rows) {
    store::create_database(path);
    store::LogDatabase db(path);
    for (const auto& row : rows) {
        auto& pending = db.add_new();
        for (const auto& [name, value] : row) {
            pending.set(name, value);
        }
        db.update();
    }
}

FieldValues stamped_row(const std::string& data, const std::string& hora, double rtd1,
                        const std::string& relays) {
    FieldValues row{
        {"Data", data}, {"Hora", hora}, {"RTD1", rtd1}, {"CRC_Valido", std::int64_t{1}}};
    if (!relays.empty()) {
        row.emplace_back("Reles Ativos", relays);
    }
    return row;
}

std::string file_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::shared_ptr<void> locked_log_file(const std::filesystem::path& path) {
    store::create_database(path);
    {
        SQLite::Database db(path.string(), SQLite::OPEN_READWRITE);
        db.exec("PRAGMA journal_mode=DELETE");
    }
    auto holder = std::make_shared<SQLite::Database>(path.string(), SQLite::OPEN_READWRITE);
    holder->exec("PRAGMA locking_mode=EXCLUSIVE");
    holder->exec("BEGIN EXCLUSIVE");
    holder->exec("INSERT INTO LOG (\"Data\") VALUES ('1/1/23')");
    return holder;
}

} // namespace zklog::test
