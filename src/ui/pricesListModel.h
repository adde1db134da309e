// The rows of the price editor's list: one per price item, in the table's
// own order (by entry id, then by date).
#pragma once

#include "common/datetime.h"

#include <QAbstractTableModel>
#include <QString>
#include <optional>

class Prices;

// A price as both dialogs show it: the locale's shortest general text,
// without group separators, so that parsePrice reads it back.
QString priceText(double price);
// The price a text means: the text without surrounding blanks in the
// user's locale (its decimal separator, no group separators); nothing
// unless it is a finite number.
std::optional<double> tryParsePrice(const QString& text);
// As tryParsePrice; a text that is not a number throws LTException
// "'TEXT' is not a number. Input a number value, please." with the text
// as it was given, blanks included.
double parsePrice(const QString& text);

class pricesListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { DateColumn, ConnectionColumn, UploadColumn, DownloadColumn, ColumnCount };

    // Without prices the list is empty.
    explicit pricesListModel(Prices* prices = nullptr, QObject* parent = nullptr);

    // Lists another table (or none).
    void setPrices(Prices* prices);
    // Takes the table's current size; the views learn of it as a reset.
    void reload();
    // The row of entryId's item in force at date: the last one dated then
    // or before; -1 for none.
    int rowInForce(int entryId, TDateTime date) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString cellText(int row, int column) const;

    Prices* prices;
    // The table changes under the model; rows are counted only on reload.
    int rows = 0;
};
