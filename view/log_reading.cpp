#include "view/log_reading.h"

#include "view/log_source.h"

#include <SQLiteCpp/Exception.h>

namespace zklog::view {

std::optional<std::string> read_log_file(const std::filesystem::path& path,
                                         const std::function<void(SQLite::Database&)>& read) {
    try {
        SQLite::Database db = open_log_read_only(path);
        read(db);
        return std::nullopt;
    } catch (const LogSourceError& e) {
        return e.what();
    } catch (const SQLite::Exception& e) {
        return describe_engine_error(path, e.getErrorCode(), e.what());
    }
}

} // namespace zklog::view
