// Shared pieces of the window's tests: its controls by name, a fresh database and a hook into
// the event loop. Linux and Windows alike; the COM port link to a simulator is com_link.h.
#pragma once

#include "app/frm_main.h"
#include "tests/support/temp_dir.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Lets GoogleTest print a QString as text; it must sit beside QString for lookup to find it.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace zklog::test {

struct FormControls {
    QLabel* Label1;
    QLineEdit* txtCOM;
    QLabel* Label2;
    QLineEdit* txtEnd;
    QRadioButton* optInteira;
    QRadioButton* optPonteiro;
    QPushButton* cmdGerar;
    QLabel* lblTexto;
};

// The controls found by object name; throws std::runtime_error naming one that is missing.
FormControls controls_of(app::frmMain& form);

// An empty LOG database in `dir`.
std::filesystem::path fresh_database(const TempDir& dir);

std::int64_t rows_in(const std::filesystem::path& database);

// Every row of LOG in the order saved, one line each, so a test can tell whether the table was
// touched at all.
std::string table_contents(const std::filesystem::path& database);

// Saves `count` rows with a few fields set, standing for an earlier download's.
void add_rows(const std::filesystem::path& database, int count);

// The record number of a "Lendo registro N..." status, if it is one.
std::optional<int> record_in_status(const QString& status);

// Calls `hook` on every pass of the event loop, including the download's yields.
class EventTap : public QObject {
    Q_OBJECT

public:
    explicit EventTap(std::function<void()> hook);

private:
    QTimer timer_;
    std::function<void()> hook_;
};

// Shows the window and waits until it is exposed and active, so focus and clicks work.
void show_and_activate(app::frmMain& form);

} // namespace zklog::test
