#include "view/mapped_scan.h"

#include <string>

namespace zklog::view {

namespace {

// Far beyond any log (a relay's memory is a few hundred kilobytes, 100,000 rows 24 MB); SQLite
// maps no more than the file holds and no more than its own build allows.
constexpr std::int64_t kMapBytes = std::int64_t{1} << 30;

void set_map_size(SQLite::Database& db, std::int64_t bytes) {
    db.exec("PRAGMA mmap_size = " + std::to_string(bytes));
}

} // namespace

MappedScan::MappedScan(SQLite::Database& db) : db_(db) {
    previous_ = db_.execAndGet("PRAGMA mmap_size").getInt64();
    set_map_size(db_, kMapBytes);
}

MappedScan::~MappedScan() {
    try {
        set_map_size(db_, previous_);
    } catch (...) {
        // The setting only touches the connection; a connection that cannot take it has failed
        // already, and its next statement reports that.
    }
}

} // namespace zklog::view
