// What the download needs from whoever drives it: the window or the command line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zklog::download {

enum class MessageIcon { Information, Exclamation };

class DownloadFrontend {
public:
    virtual ~DownloadFrontend() = default;

    // The one-line status text.
    virtual void set_status_text(std::string_view text) = 0;
    // A message the user acknowledges before the download goes on; an empty title means the
    // application's own title.
    virtual void show_message(std::string_view text, MessageIcon icon, std::string_view title) = 0;
    virtual void set_start_enabled(bool enabled) = 0;
    // Handles what is pending (repaint, typing) once per record. False when the user has
    // closed the front end: the download stops there, with no further read or message.
    virtual bool yield() = 0;
    // True when the user has asked to stop (Ctrl-C, the window closed) while the download was
    // asking for the log pointer, before it empties the table.
    virtual bool asked_to_stop() { return false; }

    // Read at the moment they are needed, so an edit during a yield counts from the next read.
    virtual std::string port_text() = 0;
    virtual std::string address_text() = 0;
    virtual bool read_up_to_pointer() = 0;
    // Whether port_text() may name a network gateway (tcp://...) rather than a serial port.
    virtual bool takes_network_ports() const { return false; }

    // Called with every progress text: records read so far, the next register to read and the
    // current end address, for front ends that show more than the text.
    virtual void progress(int /*records*/, std::uint32_t /*log_address*/,
                          std::uint32_t /*end_address*/) {}
};

} // namespace zklog::download
