// A front end for download tests: records what the download shows and lets a test act at
// each yield, as a user at the window would.
#pragma once

#include "download/download_frontend.h"

#include <functional>
#include <string>
#include <vector>

namespace zklog::test {

struct ShownMessage {
    std::string text;
    download::MessageIcon icon;
    std::string title;
    std::string status_when_shown;
    bool start_enabled_when_shown;
};

class ScriptedFrontend : public download::DownloadFrontend {
public:
    std::string port;
    std::string address = "1";
    bool up_to_pointer = true;

    std::string status;
    bool start_enabled = true;
    std::vector<ShownMessage> messages;
    std::vector<std::string> progress_texts;
    std::vector<bool> start_enabled_at_yields;
    // Called at every yield with its number (from 0); false closes the front end there.
    std::function<bool(ScriptedFrontend&, int)> on_yield;

    void set_status_text(std::string_view text) override;
    void show_message(std::string_view text, download::MessageIcon icon,
                      std::string_view title) override;
    void set_start_enabled(bool enabled) override { start_enabled = enabled; }
    bool yield() override;
    // Asked after each log pointer attempt, with the attempt's number (from 0).
    std::function<bool(int)> stop_at_pointer;
    int pointer_attempts = 0;
    bool asked_to_stop() override { return stop_at_pointer && stop_at_pointer(pointer_attempts++); }
    std::string port_text() override { return port; }
    std::string address_text() override { return address; }
    bool read_up_to_pointer() override { return up_to_pointer; }

    const ShownMessage& only_message() const;
};

} // namespace zklog::test
