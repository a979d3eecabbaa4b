// The program's one window: port and address, the read mode, the button that starts a download
// and the status line under it.
#pragma once

#include "app/form_frontend.h"
#include "device/device_link.h"
#include "download/log_download.h"
#include "store/log_database.h"

#include <QWidget>
#include <filesystem>
#include <optional>

class QCloseEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zklog::app {

class frmMain : public QWidget {
    Q_OBJECT

public:
    // Opens the log database for the whole run. Throws what the database throws (the engine's
    // own text) when the file or its table LOG cannot be opened.
    explicit frmMain(const std::filesystem::path& database_path, QWidget* parent = nullptr);

    bool port_open() const { return link_.is_open(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void create_controls();
    void cmdGerar_Click();

    store::LogDatabase database_;
    device::DeviceLink link_;
    download::LogDownload download_;

    QLabel* Label1 = nullptr;
    QLineEdit* txtCOM = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtEnd = nullptr;
    QRadioButton* optInteira = nullptr;
    QRadioButton* optPonteiro = nullptr;
    QPushButton* cmdGerar = nullptr;
    QLabel* lblTexto = nullptr;

    std::optional<FormFrontend> frontend_; // made once the controls exist
    bool unloaded_ = false;
    bool downloading_ = false;
};

} // namespace zklog::app
