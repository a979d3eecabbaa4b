#include "view/main_window.h"

#include "view/chart_export.h"
#include "view/log_source.h"
#include "view/report.h"
#include "view/report_document.h"
#include "view/report_log.h"

#include <QAction>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>
#include <SQLiteCpp/Exception.h>
#include <algorithm>

namespace zklog::view {

namespace {

QString file_text(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

} // namespace

MainWindow::MainWindow(ViewerSettings settings, QWidget* parent)
    : QMainWindow(parent), settings_(settings) {
    setWindowTitle(QStringLiteral("LOG do ZKA / ZKB"));
    setAcceptDrops(true);
    resize(settings_.initial_size);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    error_ = new QLabel(central);
    error_->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    error_->setWordWrap(true);
    error_->setVisible(false);
    layout->addWidget(error_);

    auto* filters = new QHBoxLayout;
    filter_box_ = new QLineEdit(central);
    filter_box_->setPlaceholderText(QStringLiteral("Filtrar (texto em qualquer coluna)"));
    filter_box_->setClearButtonEnabled(true);
    errors_ = new QCheckBox(QStringLiteral("Com erros"), central);
    relays_ = new QCheckBox(QStringLiteral("Mudança de relés"), central);
    crc_ = new QCheckBox(QStringLiteral("CRC inválido"), central);
    filters->addWidget(filter_box_, 1);
    filters->addWidget(errors_);
    filters->addWidget(relays_);
    filters->addWidget(crc_);
    layout->addLayout(filters);

    auto* splitter = new QSplitter(Qt::Vertical, central);
    model_ = new LogTableModel(this);
    table_ = new QTableView(splitter);
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->horizontalHeader()->setDefaultSectionSize(90);
    charts_ = new ChartPanel(settings_.chart, splitter);
    splitter->addWidget(table_);
    splitter->addWidget(charts_);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);
    layout->addWidget(splitter, 1);
    setCentralWidget(central);
    status_ = new QLabel(this);
    statusBar()->addWidget(status_);

    build_actions();

    connect(filter_box_, &QLineEdit::textChanged, this, &MainWindow::apply_filter);
    for (QCheckBox* box : {errors_, relays_, crc_}) {
        connect(box, &QCheckBox::toggled, this, &MainWindow::apply_filter);
    }
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &MainWindow::table_row_selected);
    connect(charts_, &ChartPanel::record_clicked, this, &MainWindow::select_record);
    connect(model_, &LogTableModel::readFailed, this, [this](const QString& text) {
        status_->setText(QStringLiteral("Leitura adiada: %1").arg(text));
    });

    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, &MainWindow::file_changed);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &MainWindow::file_changed);
    reload_timer_.setSingleShot(true);
    reload_timer_.setInterval(settings_.reload_delay_ms);
    connect(&reload_timer_, &QTimer::timeout, this, &MainWindow::reload);
}

MainWindow::~MainWindow() = default;

void MainWindow::build_actions() {
    auto* bar = addToolBar(QStringLiteral("Arquivo"));
    bar->setMovable(false);
    auto add = [this, bar](const QString& text, const QKeySequence& keys, auto slot) {
        auto* action = bar->addAction(text);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    add(QStringLiteral("Abrir…"), QKeySequence::Open, &MainWindow::choose_file);
    add(QStringLiteral("Recarregar"), QKeySequence(Qt::Key_F5), &MainWindow::reload);
    bar->addSeparator();
    add(QStringLiteral("Exportar gráfico…"), QKeySequence(Qt::CTRL | Qt::Key_G),
        &MainWindow::export_chart);
    add(QStringLiteral("Exportar CSV…"), QKeySequence(Qt::CTRL | Qt::Key_E),
        [this] { export_table(QStringLiteral("CSV"), QStringLiteral("csv")); });
    add(QStringLiteral("Exportar Excel…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E),
        [this] { export_table(QStringLiteral("Excel"), QStringLiteral("xlsx")); });
    bar->addSeparator();
    auto* time_only = bar->addAction(QStringLiteral("Zoom só no tempo"));
    time_only->setCheckable(true);
    time_only->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    connect(time_only, &QAction::toggled, charts_, &ChartPanel::set_time_zoom_only);
    auto* reset = bar->addAction(QStringLiteral("Restaurar zoom"));
    reset->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    connect(reset, &QAction::triggered, charts_, &ChartPanel::reset_zoom);
    bar->addSeparator();
    add(QStringLiteral("Relatório…"), QKeySequence(Qt::CTRL | Qt::Key_R), &MainWindow::make_report);
    auto* find = new QAction(this);
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, this, [this] { filter_box_->setFocus(); });
    addAction(find);
}

QString MainWindow::error_text() const {
    return error_->isHidden() ? QString() : error_->text();
}

void MainWindow::show_error(const QString& text) {
    error_->setText(text);
    error_->setVisible(!text.isEmpty());
}

void MainWindow::open_file(const std::filesystem::path& path) {
    path_ = path;
    setWindowTitle(QStringLiteral("%1 - LOG do ZKA / ZKB")
                       .arg(QString::fromStdString(path.filename().string())));
    watch_file();
    reload();
}

void MainWindow::watch_file() {
    if (!watcher_->files().isEmpty()) {
        watcher_->removePaths(watcher_->files());
    }
    if (!watcher_->directories().isEmpty()) {
        watcher_->removePaths(watcher_->directories());
    }
    // The folder too: it tells of a -wal file appearing and of the file being replaced or
    // coming back after it was missing.
    const QString file = file_text(path_);
    const QString wal = file + QStringLiteral("-wal");
    for (const QString& each : {file, wal}) {
        if (QFileInfo::exists(each)) {
            watcher_->addPath(each);
        }
    }
    const auto folder = std::filesystem::absolute(path_).parent_path();
    if (std::filesystem::is_directory(folder)) {
        watcher_->addPath(file_text(folder));
    }
}

void MainWindow::file_changed() {
    // Not restarted by each change: during a download the window follows the rows as they land.
    if (!reload_timer_.isActive()) {
        reload_timer_.start();
    }
}

void MainWindow::reload() {
    ++reload_count_;
    const std::int64_t selected = model_->rowid_at(table_->currentIndex().row());
    model_->reset(nullptr, model_->filter());
    db_.reset();
    std::shared_ptr<ChartData> data = std::make_shared<ChartData>();
    try {
        auto db = std::make_unique<SQLite::Database>(open_log_read_only(path_));
        data = std::make_shared<ChartData>(load_chart_data(*db));
        db_ = std::move(db);
        show_error({});
    } catch (const LogSourceError& e) {
        show_error(QString::fromUtf8(e.what()));
    } catch (const SQLite::Exception& e) {
        show_error(
            QString::fromStdString(describe_engine_error(path_, e.getErrorCode(), e.what())));
    }
    watch_file();
    model_->reset(db_.get(), model_->filter());
    charts_->set_data(data);
    status_->setText(db_ ? QStringLiteral("%1 registros").arg(data->size()) : QString());
    if (selected >= 0) {
        const int row = model_->row_of(selected);
        if (row >= 0) {
            table_->selectRow(row);
        }
    }
}

void MainWindow::apply_filter() {
    LogFilter filter;
    filter.text = filter_box_->text().toStdString();
    filter.errors = errors_->isChecked();
    filter.relay_changes = relays_->isChecked();
    filter.crc_mismatch = crc_->isChecked();
    model_->reset(db_.get(), filter);
}

void MainWindow::choose_file() {
    const QString chosen = QFileDialog::getOpenFileName(
        this, QStringLiteral("Abrir banco de dados"), file_text(path_.parent_path()),
        QStringLiteral("Banco de dados (*.db);;Todos os arquivos (*)"));
    if (!chosen.isEmpty()) {
        open_file(chosen.toStdString());
    }
}

void MainWindow::export_chart() {
    QStringList filters;
    for (const QString& format : chart_formats()) {
        filters << QStringLiteral("%1 (*.%2)").arg(format.toUpper(), format);
    }
    const QString chosen = QFileDialog::getSaveFileName(
        this, QStringLiteral("Exportar gráfico"), QStringLiteral("LOG.png"), filters.join(";;"));
    if (chosen.isEmpty()) {
        return;
    }
    // A copy of the charts at export size, so the window's own layout is left as it is.
    ChartPanel copy(settings_.chart);
    copy.set_data(std::make_shared<ChartData>(charts_->data() ? *charts_->data() : ChartData{}));
    if (const auto error = write_chart(copy, chosen, QSize(1200, 700))) {
        QMessageBox::warning(this, QStringLiteral("Exportar gráfico"), *error);
    }
}

void MainWindow::export_table(const QString& format, const QString& suffix) {
    if (!db_) {
        return;
    }
    const QString title = QStringLiteral("Exportar %1").arg(format);
    const QString chosen =
        QFileDialog::getSaveFileName(this, title, QStringLiteral("LOG.%1").arg(suffix),
                                     QStringLiteral("%1 (*.%2)").arg(format, suffix));
    if (chosen.isEmpty()) {
        return;
    }
    // The format follows the name; a name typed without the suffix gets the one asked for.
    const QString path =
        QFileInfo(chosen).suffix().isEmpty() ? chosen + QLatin1Char('.') + suffix : chosen;
    if (const auto error = write_table(*db_, model_->filter(), path)) {
        QMessageBox::warning(this, title, *error);
    }
}

void MainWindow::select_record(std::size_t record) {
    const ChartData* data = charts_->data();
    if (data == nullptr || record >= data->size()) {
        return;
    }
    const int row = model_->row_of(data->rowids[record]);
    if (row < 0) {
        status_->setText(QStringLiteral("O registro %1 está fora do filtro.").arg(record + 1));
        return;
    }
    table_->selectRow(row);
    table_->scrollTo(model_->index(row, 0));
}

void MainWindow::table_row_selected() {
    const ChartData* data = charts_->data();
    const std::int64_t rowid = model_->rowid_at(table_->currentIndex().row());
    if (data == nullptr || rowid < 0) {
        return;
    }
    const auto found = std::lower_bound(data->rowids.begin(), data->rowids.end(), rowid);
    if (found != data->rowids.end() && *found == rowid) {
        charts_->mark_record(static_cast<std::size_t>(found - data->rowids.begin()));
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    const auto urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.front().isLocalFile()) {
        open_file(urls.front().toLocalFile().toStdString());
    }
}

std::optional<QString> MainWindow::write_report(const QString& title, const QString& path) {
    if (!db_) {
        return error_text().isEmpty() ? QStringLiteral("Nenhum arquivo aberto.") : error_text();
    }
    try {
        const ReportLog log = load_report_log(*db_, model_->filter());
        return write_report_pdf(
            log, {title, default_report_title(path_), QDateTime::currentDateTime()}, path);
    } catch (const SQLite::Exception& e) {
        return QString::fromStdString(describe_engine_error(path_, e.getErrorCode(), e.what()));
    }
}

void MainWindow::make_report() {
    if (!db_) {
        return;
    }
    bool accepted = false;
    const QString title = QInputDialog::getText(
        this, QStringLiteral("Relatório"), QStringLiteral("Título do relatório:"),
        QLineEdit::Normal, default_report_title(path_), &accepted);
    if (!accepted) {
        return;
    }
    const QString suggested =
        file_text(path_.parent_path() / (path_.stem().string() + "-relatorio.pdf"));
    const QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Salvar relatório"),
                                                        suggested, QStringLiteral("PDF (*.pdf)"));
    if (chosen.isEmpty()) {
        return;
    }
    if (const auto error = write_report(title, chosen)) {
        QMessageBox::warning(this, QStringLiteral("Relatório"), *error);
    }
}

} // namespace zklog::view
