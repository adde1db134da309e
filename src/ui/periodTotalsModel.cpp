#include "ui/periodTotalsModel.h"

#include "model/viewformat.h"
#include "ui/guicommon.h"

#include <utility>

namespace {

enum Column { START, SENT, RECEIVED, COSTS, COLUMN_COUNT };

QVariant alignmentOf(int column) { return columnAlignment(column != START); }

} // namespace

PeriodTotalsModel::PeriodTotalsModel(const listOfTotals& totals, QString firstColumnHead, QObject* parent)
    : QAbstractTableModel(parent), totals(totals), firstColumnHead(std::move(firstColumnHead))
{
}

void PeriodTotalsModel::reload(const std::function<void()>& change, std::string rowFormat)
{
    beginResetModel();
    change();
    this->rowFormat = std::move(rowFormat);
    endResetModel();
}

int PeriodTotalsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(totals.size());
}

int PeriodTotalsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : COLUMN_COUNT; }

QVariant PeriodTotalsModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(totals[static_cast<std::size_t>(index.row())], index.column());
    case Qt::TextAlignmentRole:
        return alignmentOf(index.column());
    case Qt::BackgroundRole:
        return highlightOddRow(index.row());
    default:
        return {};
    }
}

QVariant PeriodTotalsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= COLUMN_COUNT)
        return {};
    if (role == Qt::TextAlignmentRole)
        return alignmentOf(section);
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
    case START:
        return firstColumnHead;
    case SENT:
        return QStringLiteral("Sent MB");
    case RECEIVED:
        return QStringLiteral("Rcved MB");
    default:
        return QStringLiteral("Costs");
    }
}

QString PeriodTotalsModel::cellText(const Total4Period& row, int column) const
{
    switch (column) {
    case START:
        return QString::fromStdString(FormatDateTime(rowFormat, row.start));
    case SENT:
        return QString::fromStdString(sentMbCell(row));
    case RECEIVED:
        return QString::fromStdString(receivedMbCell(row));
    default:
        return QString::fromStdString(costsCell(row));
    }
}
