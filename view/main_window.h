// The viewer's window: the table of LOG beside its charts, reloaded whenever the file changes.
#pragma once

#include "view/chart_panel.h"
#include "view/log_filter.h"
#include "view/log_table_model.h"

#include <QMainWindow>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <optional>

class QCheckBox;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QTableView;

namespace zklog::view {

struct ViewerSettings {
    // Changes arrive in bursts (one commit per downloaded row); a reload at most this often
    // keeps the window current without reading the file for every row.
    int reload_delay_ms = 400;
    QSize initial_size{1280, 820};
    ChartSettings chart;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(ViewerSettings settings = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Shows `path`; a file that cannot be shown leaves an empty view and the reason in the
    // window (error_text()).
    void open_file(const std::filesystem::path& path);
    void reload();

    QString error_text() const;
    LogTableModel& model() { return *model_; }
    QTableView& table() { return *table_; }
    ChartPanel& charts() { return *charts_; }
    QLineEdit& filter_box() { return *filter_box_; }
    QCheckBox& errors_filter() { return *errors_; }
    QCheckBox& relays_filter() { return *relays_; }
    QCheckBox& crc_filter() { return *crc_; }
    int reload_count() const { return reload_count_; }
    // The service report of the rows the table shows, as "Relatório…" writes it once asked for
    // the title and the file. Returns the reason on failure.
    std::optional<QString> write_report(const QString& title, const QString& path);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void build_actions();
    void apply_filter();
    void watch_file();
    void file_changed();
    void choose_file();
    void export_chart();
    // The table as filtered, as CSV or an Excel workbook (`suffix` "csv" or "xlsx").
    void export_table(const QString& format, const QString& suffix);
    void select_record(std::size_t record);
    void table_row_selected();
    void show_error(const QString& text);
    void make_report();

    ViewerSettings settings_;
    std::filesystem::path path_;
    std::unique_ptr<SQLite::Database> db_;
    LogTableModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    ChartPanel* charts_ = nullptr;
    QLineEdit* filter_box_ = nullptr;
    QCheckBox* errors_ = nullptr;
    QCheckBox* relays_ = nullptr;
    QCheckBox* crc_ = nullptr;
    QLabel* error_ = nullptr;
    QLabel* status_ = nullptr;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer reload_timer_;
    int reload_count_ = 0;
};

} // namespace zklog::view
