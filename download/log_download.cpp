#include "download/log_download.h"

#include "download/base_block.h"
#include "download/input_text.h"
#include "download/messages.h"
#include "download/record_decoder.h"

#include <exception>
#include <optional>
#include <string>

namespace zklog::download {

namespace {

// The ways a run ends early once records are being read; each leaves its own state.
struct BaseBlockFailed {};
struct LaterBlockFailed {};
struct AddressInvalid {};
struct FrontendClosed {};

class Run {
public:
    Run(device::DeviceLink& link, RecordWordSource& source, store::LogDatabase& database,
        DownloadFrontend& ui)
        : link_(link), source_(source), database_(database), ui_(ui) {}

    std::optional<std::uint32_t> read_pointer();
    void read_records(std::uint32_t pointer);
    const std::string& status() const { return status_; }

private:
    std::uint32_t address() const;
    bool read(std::uint32_t first_register, std::uint32_t count);
    std::optional<std::span<const std::uint16_t>> record_words(std::uint32_t count);
    std::optional<std::span<const std::uint16_t>> base_block_words();
    void read_until_end(std::uint32_t pointer);
    void read_record();
    void save_read_row();
    void set_status(std::string text) {
        status_ = std::move(text);
        ui_.set_status_text(status_);
    }

    device::DeviceLink& link_;
    RecordWordSource& source_;
    store::LogDatabase& database_;
    DownloadFrontend& ui_;
    std::uint32_t log_address_ = kLogStart;
    std::uint32_t end_ = kLogStart;
    std::string status_;
    bool row_read_ = false; // the pending row holds a whole record, not saved yet
};

// The address is taken from the front end for every read, so an edit made during a yield is
// used from the next read on.
std::uint32_t Run::address() const {
    const auto address = parse_device_address(ui_.address_text());
    if (!address) {
        throw AddressInvalid{};
    }
    return *address;
}

// Each of the pointer's attempts is one request: a silent relay costs six timeouts, not
// eighteen, before the message.
bool Run::read(std::uint32_t first_register, std::uint32_t count) {
    return link_.modbus_rd(address(), first_register, count,
                           device::DeviceLink::OnSilence::GiveUp) == device::DeviceLink::kReadOk;
}

// The next `count` words of the log memory, through the run's source, which may read no
// further than the longest record starting at the bound could reach.
std::optional<std::span<const std::uint16_t>> Run::record_words(std::uint32_t count) {
    return source_.words(address(), log_address_, count, end_ + kLongestRecordWords - 1);
}

// A relay busy writing its log may miss a request; the pointer is asked again at once. A stop
// asked for meanwhile (Ctrl-C, the window closed) is seen between the attempts and before the
// table is emptied, so that it keeps the previous download's rows.
std::optional<std::uint32_t> Run::read_pointer() {
    for (int retry = 0; retry <= kPointerRetries; ++retry) {
        const bool read_ok = read(kLogPointerRegister, 1);
        if (ui_.asked_to_stop()) {
            throw FrontendClosed{};
        }
        if (read_ok) {
            return link_.modbus_var(0);
        }
    }
    return std::nullopt;
}

// A record's row is saved while the request for the next record is on its way (see
// base_block_words), so a run that ends in any way first saves the row of the last record read:
// a stop or a failed read keeps every whole record, as a row saved at once would. A stop shows
// nothing more, so a row that cannot be saved then is lost quietly, as the one being read is.
void Run::read_records(std::uint32_t pointer) {
    try {
        read_until_end(pointer);
    } catch (const FrontendClosed&) {
        try {
            save_read_row();
        } catch (const std::exception&) {
        }
        throw;
    } catch (const std::exception&) {
        throw; // the database failed; the row read, if any, is the one it refused
    } catch (...) {
        save_read_row();
        throw;
    }
    save_read_row();
}

void Run::read_until_end(std::uint32_t pointer) {
    for (int records = 0;; ++records) {
        // The bound is taken anew at every pass: switching the read mode during a download
        // changes it from the next record on. A record that starts at the bound is read whole.
        end_ = ui_.read_up_to_pointer() ? kLogStart + pointer : kLogLastStart;
        if (log_address_ > end_) {
            return;
        }
        set_status(std::string(kProgressPrefix) + std::to_string(records) +
                   std::string(kProgressSuffix));
        ui_.progress(records, log_address_, end_);
        if (!ui_.yield()) {
            throw FrontendClosed{};
        }
        read_record();
    }
}

// The address advances right after each read, before decoding: the decoders work from the
// read's own words, and the next record starts after the last block read.
void Run::read_record() {
    const auto base = base_block_words();
    if (!base) {
        throw BaseBlockFailed{};
    }
    log_address_ += kBaseBlockWords;
    RecordDecoder record(*base, database_.add_new());
    while (const std::uint32_t count = record.next_block_words()) {
        const auto block = record_words(count);
        if (!block) {
            throw LaterBlockFailed{};
        }
        log_address_ += count;
        record.decode_next(*block);
    }
    row_read_ = true;
}

// A row saved between a reply and the next request held that request up by about 100 µs a
// record; the previous record's row is saved while this base block's request travels instead,
// time the line spends anyway. A read served without a request (words read ahead) saves it
// here, before the row of this record is started.
std::optional<std::span<const std::uint16_t>> Run::base_block_words() {
    if (row_read_) {
        link_.while_next_reply_travels([this] { save_read_row(); });
    }
    struct Withdraw {
        device::DeviceLink& link;
        ~Withdraw() { link.while_next_reply_travels(nullptr); }
    } withdraw{link_};
    const auto words = record_words(kBaseBlockWords);
    save_read_row();
    return words;
}

void Run::save_read_row() {
    if (row_read_) {
        row_read_ = false;
        database_.update();
    }
}

} // namespace

// Rows are saved through the database's write-ahead log; before the user hears how the download
// ended, they are brought into the file itself, so that a file copied as soon as the message
// shows holds every one of them.
void LogDownload::tell(DownloadFrontend& ui, std::string_view text, MessageIcon icon,
                       std::string_view title) {
    file_whole_ = database_.checkpoint();
    ui.show_message(text, icon, title);
}

DownloadResult LogDownload::run(DownloadFrontend& ui) {
    if (!PortaAberta_) {
        const auto port = parse_port(ui.port_text(), ui.takes_network_ports());
        if (!port) {
            tell(ui, kMsgInvalidPort, MessageIcon::Exclamation, {});
            return DownloadResult::InvalidPort;
        }
        if ((open_port(link_, *port) & 0xFFFF) != device::DeviceLink::kOpenOk) {
            tell(ui, kMsgPortOpenFailed, MessageIcon::Exclamation, kTitlePortOpenFailed);
            return DownloadResult::PortOpenFailed;
        }
        PortaAberta_ = true;
    }

    Run run(link_, source_, database_, ui);
    std::optional<std::uint32_t> pointer;
    try {
        pointer = run.read_pointer();
    } catch (const AddressInvalid&) {
        tell(ui, kMsgInvalidAddress, MessageIcon::Exclamation, {});
        return DownloadResult::InvalidAddress;
    } catch (const FrontendClosed&) {
        file_whole_ = database_.checkpoint();
        return DownloadResult::Stopped;
    }
    if (!pointer) {
        tell(ui, kMsgReadFailed, MessageIcon::Exclamation, {});
        return DownloadResult::PointerReadFailed;
    }
    if (*pointer == 0) {
        tell(ui, kMsgEmptyLog, MessageIcon::Information, {});
        return DownloadResult::EmptyLog;
    }

    database_.LimparLOG();
    source_.start_run();
    ui.set_status_text("");
    ui.set_start_enabled(false);
    try {
        run.read_records(*pointer);
    } catch (const FrontendClosed&) {
        database_.cancel_pending();
        file_whole_ = database_.checkpoint();
        return DownloadResult::Stopped;
    } catch (const BaseBlockFailed&) {
        database_.cancel_pending();
        tell(ui, kMsgReadFailed, MessageIcon::Exclamation, {});
        ui.set_status_text(kStatusError);
        ui.set_start_enabled(true);
        return DownloadResult::RecordReadFailed;
    } catch (const LaterBlockFailed&) {
        database_.cancel_pending();
        tell(ui, kMsgReadFailed, MessageIcon::Exclamation, {});
        ui.set_start_enabled(true);
        return DownloadResult::RecordReadFailed;
    } catch (const AddressInvalid&) {
        database_.cancel_pending();
        tell(ui, kMsgInvalidAddress, MessageIcon::Exclamation, {});
        ui.set_start_enabled(true);
        return DownloadResult::InvalidAddress;
    } catch (const std::exception& error) {
        // The saved rows stay: each was committed on its own. The record being read is lost.
        database_.cancel_pending();
        tell(ui, std::string(kMsgDatabaseError) + error.what(), MessageIcon::Exclamation, {});
        ui.set_start_enabled(true);
        return DownloadResult::DatabaseError;
    }

    tell(ui, kMsgCompleted, MessageIcon::Information, {});
    ui.set_status_text(run.status() + std::string(kStatusEnd));
    ui.set_start_enabled(true);
    return DownloadResult::Completed;
}

} // namespace zklog::download
