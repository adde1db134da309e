// The rows of a period tab's list: start, sent and received megabytes and
// costs of each row, worded only when the list asks for a cell.
#pragma once

#include "model/datamodel.h"

#include <QAbstractTableModel>
#include <QString>

#include <functional>
#include <string>

class PeriodTotalsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // totals is the frame's list, read whenever the list asks for a row.
    PeriodTotalsModel(const listOfTotals& totals, QString firstColumnHead, QObject* parent = nullptr);

    // The list is about to be replaced: change replaces it, rowFormat then
    // words column 0 of the new rows.
    void reload(const std::function<void()>& change, std::string rowFormat);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString cellText(const Total4Period& row, int column) const;

    const listOfTotals& totals;
    const QString firstColumnHead;
    std::string rowFormat;
};
