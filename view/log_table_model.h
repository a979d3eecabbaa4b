// Table LOG for a QTableView, read a page at a time as the view scrolls, so a big log shows at
// once and only the rows looked at are held.
#pragma once

#include "view/log_filter.h"

#include <QAbstractTableModel>
#include <SQLiteCpp/Database.h>

namespace zklog::view {

class LogTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kPageRows = 256;

    explicit LogTableModel(QObject* parent = nullptr);

    // Starts over on `db` (not owned; nullptr: an empty table) with `filter`.
    void reset(SQLite::Database* db, const LogFilter& filter);
    const LogFilter& filter() const { return filter_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent = {}) const override;
    void fetchMore(const QModelIndex& parent = {}) override;

    std::int64_t rowid_at(int row) const;
    // The table row of `rowid`, reading further pages as needed; -1 when the filter hides it.
    int row_of(std::int64_t rowid);

signals:
    void readFailed(const QString& message);

private:
    SQLite::Database* db_ = nullptr;
    LogFilter filter_;
    std::vector<LogRowValues> rows_;
    bool at_end_ = true;
};

} // namespace zklog::view
