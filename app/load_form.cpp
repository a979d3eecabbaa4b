#include "app/load_form.h"

#include "download/messages.h"

#include <QMessageBox>
#include <exception>

namespace zklog::app {

std::unique_ptr<frmMain> load_main_form(const std::filesystem::path& database_path) {
    try {
        return std::make_unique<frmMain>(database_path);
    } catch (const std::exception& error) {
        const auto& title = download::kApplicationTitle;
        QMessageBox box(QMessageBox::Critical,
                        QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())),
                        QString::fromUtf8(error.what()), QMessageBox::Ok);
        box.exec();
        return nullptr;
    }
}

} // namespace zklog::app
