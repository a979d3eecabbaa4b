#include "tests/app/form_test_support.h"

#include "device/port_path.h"
#include "store/log_database.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <stdexcept>

namespace zklog::test {

namespace {

template <typename Control> Control* child(app::frmMain& form, const char* name) {
    auto* control = form.findChild<Control*>(QString::fromLatin1(name));
    if (control == nullptr) {
        throw std::runtime_error(std::string("frmMain has no control named ") + name);
    }
    return control;
}

} // namespace

FormControls controls_of(app::frmMain& form) {
    return {child<QLabel>(form, "Label1"),           child<QLineEdit>(form, "txtCOM"),
            child<QLabel>(form, "Label2"),           child<QLineEdit>(form, "txtEnd"),
            child<QRadioButton>(form, "optInteira"), child<QRadioButton>(form, "optPonteiro"),
            child<QPushButton>(form, "cmdGerar"),    child<QLabel>(form, "lblTexto")};
}

ComLink::ComLink(int number, const std::string& target)
    : path_(device::executable_dir() / ("COM" + std::to_string(number))) {
    // A link left behind by a crashed earlier run is ours to replace.
    std::error_code ec;
    std::filesystem::remove(path_, ec);
    std::filesystem::create_symlink(target, path_);
}

ComLink::~ComLink() {
    remove();
}

void ComLink::remove() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

std::filesystem::path fresh_database(const TempDir& dir) {
    auto path = store::default_database_path(dir.path());
    store::create_database(path);
    return path;
}

std::int64_t rows_in(const std::filesystem::path& database) {
    store::LogDatabase db(database);
    return db.row_count();
}

std::optional<int> record_in_status(const QString& status) {
    static const QRegularExpression progress(QStringLiteral("^Lendo registro (\\d+)\\.\\.\\.$"));
    const auto match = progress.match(status);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    return match.captured(1).toInt();
}

EventTap::EventTap(std::function<void()> hook) : hook_(std::move(hook)) {
    connect(&timer_, &QTimer::timeout, this, [this] { hook_(); });
    timer_.start(0);
}

void show_and_activate(app::frmMain& form) {
    form.show();
    QApplication::setActiveWindow(&form);
    if (!QTest::qWaitForWindowActive(&form)) {
        throw std::runtime_error("frmMain did not become the active window");
    }
}

} // namespace zklog::test
