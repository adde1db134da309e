#include "ui/logRecordsModel.h"

#include "model/viewformat.h"
#include "ui/guicommon.h"

namespace {

QVariant alignment(int column) { return columnAlignment(column >= LOG_FIRST_RIGHT_ALIGNED); }

} // namespace

LogRecordsModel::LogRecordsModel(const listOfRecords& rows, QObject* parent) : QAbstractTableModel(parent), rows(rows)
{
}

void LogRecordsModel::reload(const LogRecords& records, const std::function<void()>& refill)
{
    beginResetModel();
    this->records = &records;
    refill();
    endResetModel();
}

void LogRecordsModel::costsChanged()
{
    if (!rows.empty())
        emit dataChanged(index(0, LOG_COSTS_COLUMN), index(rowCount() - 1, LOG_COSTS_COLUMN), {Qt::DisplayRole});
}

int LogRecordsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
}

int LogRecordsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : LOG_COLUMNS; }

QVariant LogRecordsModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(logRecordCell(*records, *rows[index.row()], index.column()));
    case Qt::TextAlignmentRole:
        return alignment(index.column());
    case Qt::BackgroundRole:
        return highlightOddRow(index.row());
    default:
        return {};
    }
}

QVariant LogRecordsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= LOG_COLUMNS)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromUtf8(LOG_COLUMN_CAPTIONS[section]);
    if (role == Qt::TextAlignmentRole)
        return alignment(section);
    return {};
}
