// The download of a relay's event log into table LOG, one row per record.
#pragma once

#include "device/device_link.h"
#include "download/download_frontend.h"
#include "download/record_word_source.h"
#include "store/log_database.h"

#include <cstdint>
#include <string_view>

namespace zklog::download {

inline constexpr std::uint32_t kLogPointerRegister = 1024;
inline constexpr int kPointerRetries = 5; // six attempts in all
inline constexpr std::uint32_t kLogStart = 2000;
// The last register at which a record may start when the whole memory is read.
inline constexpr std::uint32_t kLogLastStart = 18120;
// The longest record: base block, second channel and differential block (10 + 8 + 7 words).
// A record starting at the bound may reach this far past it.
inline constexpr std::uint32_t kLongestRecordWords = 25;

enum class DownloadResult {
    Completed,
    PortOpenFailed,
    PointerReadFailed,
    EmptyLog,
    RecordReadFailed,
    InvalidPort,
    InvalidAddress,
    DatabaseError,
    Stopped, // the front end was closed during a yield
};

class LogDownload {
public:
    // The standard download: every block of every record read on its own.
    LogDownload(device::DeviceLink& link, store::LogDatabase& database)
        : link_(link), database_(database), record_by_record_(link), source_(record_by_record_) {}
    // The same download with the log memory read through `source` (which must outlive it).
    LogDownload(device::DeviceLink& link, store::LogDatabase& database, RecordWordSource& source)
        : link_(link), database_(database), record_by_record_(link), source_(source) {}
    // The source may be its own member: a copy would read through the original's.
    LogDownload(const LogDownload&) = delete;
    LogDownload& operator=(const LogDownload&) = delete;

    // One whole download; every outcome but Stopped has been shown to the user.
    DownloadResult run(DownloadFrontend& ui);

    // True once the port has been opened: it stays open, with the port first chosen, for the
    // rest of the program's run.
    bool PortaAberta() const { return PortaAberta_; }
    // False when, at the end of the last run, another program kept the saved rows from being
    // brought into the database file (see LogDatabase::checkpoint): they are safe, but a copy
    // of the file alone would miss some.
    bool file_whole() const { return file_whole_; }

private:
    void tell(DownloadFrontend& ui, std::string_view text, MessageIcon icon,
              std::string_view title);

    device::DeviceLink& link_;
    store::LogDatabase& database_;
    RecordByRecordReads record_by_record_;
    RecordWordSource& source_;
    bool PortaAberta_ = false;
    bool file_whole_ = true;
};

} // namespace zklog::download
