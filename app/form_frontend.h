// What the download sees of the window: its controls, read and written at the moment asked.
#pragma once

#include "download/download_frontend.h"

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace zklog::app {

struct FormControls {
    QWidget* window = nullptr; // owner of the message boxes
    QLineEdit* port = nullptr;
    QLineEdit* address = nullptr;
    QRadioButton* up_to_pointer = nullptr;
    QPushButton* start = nullptr;
    QLabel* status = nullptr;
};

class FormFrontend : public download::DownloadFrontend {
public:
    // `window_open` tells whether the user has closed the window since the download began.
    FormFrontend(const FormControls& controls, std::function<bool()> window_open)
        : controls_(controls), window_open_(std::move(window_open)) {}

    void set_status_text(std::string_view text) override;
    void show_message(std::string_view text, download::MessageIcon icon,
                      std::string_view title) override;
    void set_start_enabled(bool enabled) override;
    bool yield() override;
    // A close asked for while the pointer was being read is only seen once events are handled.
    bool asked_to_stop() override { return !yield(); }
    std::string port_text() override;
    std::string address_text() override;
    bool read_up_to_pointer() override;

private:
    FormControls controls_;
    std::function<bool()> window_open_;
};

} // namespace zklog::app
