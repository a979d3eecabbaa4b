#include "app/form_frontend.h"

#include "download/messages.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

namespace zklog::app {

namespace {

QString to_qstring(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void FormFrontend::set_status_text(std::string_view text) {
    controls_.status->setText(to_qstring(text));
}

void FormFrontend::show_message(std::string_view text, download::MessageIcon icon,
                                std::string_view title) {
    const auto box_icon = icon == download::MessageIcon::Information ? QMessageBox::Information
                                                                     : QMessageBox::Warning;
    const auto caption = title.empty() ? download::kApplicationTitle : title;
    QMessageBox box(box_icon, to_qstring(caption), to_qstring(text), QMessageBox::Ok,
                    controls_.window);
    box.exec();
}

void FormFrontend::set_start_enabled(bool enabled) {
    controls_.start->setEnabled(enabled);
}

bool FormFrontend::yield() {
    QCoreApplication::processEvents();
    return window_open_();
}

std::string FormFrontend::port_text() {
    return controls_.port->text().toStdString();
}

std::string FormFrontend::address_text() {
    return controls_.address->text().toStdString();
}

bool FormFrontend::read_up_to_pointer() {
    return controls_.up_to_pointer->isChecked();
}

} // namespace zklog::app
