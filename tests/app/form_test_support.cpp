#include "tests/app/form_test_support.h"

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
