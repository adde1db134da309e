// The rows of the connection log's list: one page of records, each cell
// worded only when a view asks for it.
#pragma once

#include "model/datamodel.h"

#include <QAbstractTableModel>
#include <functional>

class LogRecordsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // rows is the page shown (not owned); it changes only inside reload.
    explicit LogRecordsModel(const listOfRecords& rows, QObject* parent = nullptr);

    // refill replaces the rows; records names and prices them from then on.
    void reload(const LogRecords& records, const std::function<void()>& refill);
    // The prices changed: the costs are worded anew, the rows stay.
    void costsChanged();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const listOfRecords& rows;
    const LogRecords* records = nullptr; // set by the first reload, before any row
};
