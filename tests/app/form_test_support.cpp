#include "tests/app/form_test_support.h"

#include "device/device_link.h"
#include "device/port_path.h"
#include "store/log_database.h"
#include "store/log_fields.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <SQLiteCpp/Statement.h>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <unistd.h>

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

namespace {

constexpr int kComNumbers = 9;

// An exclusive lock on <exe dir>/COM<number>.lock, or -1 when `wait` is false and another case
// holds it. The kernel drops it when a crashed case's process ends.
int lock_com_number(int number, bool wait) {
    const auto file = device::executable_dir() / ("COM" + std::to_string(number) + ".lock");
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw std::runtime_error("cannot open " + file.string());
    }
    if (::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
        ::close(fd);
        if (wait) {
            throw std::runtime_error("cannot lock " + file.string());
        }
        return -1;
    }
    return fd;
}

} // namespace

ComLink::ComLink(int number, const std::string& target)
    : number_(number), lock_fd_(lock_com_number(number, true)) {
    link_to(target);
}

ComLink::ComLink(const std::string& target) {
    for (int number = 1; number <= kComNumbers && lock_fd_ < 0; ++number) {
        lock_fd_ = lock_com_number(number, false);
        number_ = number;
    }
    if (lock_fd_ < 0) {
        number_ = 1;
        lock_fd_ = lock_com_number(number_, true);
    }
    link_to(target);
}

void ComLink::link_to(const std::string& target) {
    path_ = device::executable_dir() / ("COM" + std::to_string(number_));
    // A link left behind by a crashed earlier run is ours to replace.
    std::error_code ec;
    std::filesystem::remove(path_, ec);
    std::filesystem::create_symlink(target, path_);
}

ComLink::~ComLink() {
    remove();
    ::close(lock_fd_);
}

void ComLink::remove() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

bool port_free(int number) {
    device::DeviceLink other;
    return other.open_comm(number) == device::DeviceLink::kOpenOk;
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

std::string table_contents(const std::filesystem::path& database) {
    SQLite::Database db(database.string(), SQLite::OPEN_READONLY);
    SQLite::Statement query(db, "SELECT * FROM LOG ORDER BY rowid");
    std::string text;
    while (query.executeStep()) {
        for (int i = 0; i < query.getColumnCount(); ++i) {
            const SQLite::Column column = query.getColumn(i);
            text += column.isNull() ? std::string("NULL") : column.getString();
            text += '|';
        }
        text += '\n';
    }
    return text;
}

void add_rows(const std::filesystem::path& database, int count) {
    store::LogDatabase db(database);
    for (int i = 0; i < count; ++i) {
        db.add_new();
        db.update();
    }
    // NULL rows would compare equal whatever happened to them; give each its own values.
    db.connection().exec("UPDATE LOG SET \"" + std::string(store::kLogFields[0].name) +
                         "\" = 'linha ' || rowid");
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
