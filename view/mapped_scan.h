// A pass over the whole of table LOG, read through a memory map of the file.
//
// Read page by page, every page of the file is a read() or ReadFile() of its own; under Wine each
// ReadFile is also a round trip to Wine's server, which made loading 100,000 rows three times as
// slow as on Linux. Mapped, the pages come straight from the system's file cache.
//
// The map lasts only as long as the pass. A mapped file that goes away under the program (a
// drive pulled out, the file cut short by a copy over it) ends the program at the next page it
// touches, where a read would merely fail with a message; the window's own paging through the
// table, which lasts as long as the window, therefore reads as before.
#pragma once

#include <SQLiteCpp/Database.h>
#include <cstdint>

namespace zklog::view {

class MappedScan {
public:
    explicit MappedScan(SQLite::Database& db);
    MappedScan(const MappedScan&) = delete;
    MappedScan& operator=(const MappedScan&) = delete;
    // Back to the size the connection had, so that passes may nest.
    ~MappedScan();

private:
    SQLite::Database& db_;
    std::int64_t previous_ = 0;
};

} // namespace zklog::view
