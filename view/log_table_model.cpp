#include "view/log_table_model.h"

#include "store/log_fields.h"

#include <QBrush>
#include <QColor>
#include <SQLiteCpp/Exception.h>
#include <algorithm>

namespace zklog::view {

namespace {

const std::size_t kCrcValidColumn = *store::field_index("CRC_Valido");

} // namespace

LogTableModel::LogTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void LogTableModel::reset(SQLite::Database* db, const LogFilter& filter) {
    beginResetModel();
    db_ = db;
    filter_ = filter;
    rows_.clear();
    at_end_ = db_ == nullptr;
    endResetModel();
    if (canFetchMore()) {
        fetchMore();
    }
}

int LogTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int LogTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(store::kFieldCount);
}

QVariant LogTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const LogRowValues& row = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        return QString::fromStdString(
            cell_text(row.cells[static_cast<std::size_t>(index.column())]));
    }
    if (role == Qt::BackgroundRole) {
        const auto* valid = std::get_if<std::int64_t>(&row.cells[kCrcValidColumn]);
        if (valid != nullptr && *valid == 0) {
            return QBrush(QColor(255, 205, 205));
        }
    }
    return {};
}

QVariant LogTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Vertical) {
        return section + 1;
    }
    if (section < 0 || section >= static_cast<int>(store::kFieldCount)) {
        return {};
    }
    const auto name = store::kLogFields[static_cast<std::size_t>(section)].name;
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

bool LogTableModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !at_end_;
}

void LogTableModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || at_end_) {
        return;
    }
    std::vector<LogRowValues> page;
    try {
        page = read_page(*db_, filter_, rows_.empty() ? 0 : rows_.back().rowid, kPageRows);
    } catch (const SQLite::Exception& e) {
        // A writer holding its lock longer than the busy wait: try again on the next scroll.
        emit readFailed(QString::fromUtf8(e.what()));
        return;
    }
    at_end_ = page.size() < static_cast<std::size_t>(kPageRows);
    if (page.empty()) {
        return;
    }
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(page.size()) - 1);
    std::move(page.begin(), page.end(), std::back_inserter(rows_));
    endInsertRows();
}

std::int64_t LogTableModel::rowid_at(int row) const {
    return row >= 0 && row < rowCount() ? rows_[static_cast<std::size_t>(row)].rowid : -1;
}

int LogTableModel::row_of(std::int64_t rowid) {
    while (true) {
        const auto found = std::lower_bound(
            rows_.begin(), rows_.end(), rowid,
            [](const LogRowValues& row, std::int64_t id) { return row.rowid < id; });
        if (found != rows_.end()) {
            return found->rowid == rowid ? static_cast<int>(found - rows_.begin()) : -1;
        }
        if (!canFetchMore()) {
            return -1;
        }
        const std::size_t before = rows_.size();
        fetchMore();
        if (rows_.size() == before) {
            return -1;
        }
    }
}

} // namespace zklog::view
