#include "ui/pricesListModel.h"

#include "errors/ltexception.h"
#include "model/datamodel.h"
#include "ui/guicommon.h"

#include <QLocale>
#include <cmath>

namespace {

// The user's locale, read and written without group separators: "0,5"
// is no number where the decimal separator is '.', nor "0.5" where it is ','.
QLocale priceLocale()
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

constexpr const char* CAPTIONS[pricesListModel::ColumnCount] = {"Date", "Connection", "Upload Costs",
                                                                "Download Costs"};

} // namespace

QString priceText(double price) { return priceLocale().toString(price, 'g', QLocale::FloatingPointShortest); }

std::optional<double> tryParsePrice(const QString& text)
{
    bool ok = false;
    const double price = priceLocale().toDouble(text.trimmed(), &ok);
    // "inf" and "nan" convert too, but cost nothing sensible.
    if (!ok || !std::isfinite(price))
        return std::nullopt;
    return price + 0.0; // "-0" is no negative price: it is 0
}

double parsePrice(const QString& text)
{
    const std::optional<double> price = tryParsePrice(text);
    if (!price)
        throw LTException("'" + text.toStdString() + "' is not a number. Input a number value, please.");
    return *price;
}

pricesListModel::pricesListModel(Prices* prices, QObject* parent) : QAbstractTableModel(parent), prices(prices)
{
    rows = prices ? prices->size() : 0;
}

void pricesListModel::setPrices(Prices* newPrices)
{
    prices = newPrices;
    reload();
}

void pricesListModel::reload()
{
    beginResetModel();
    rows = prices ? prices->size() : 0;
    endResetModel();
}

int pricesListModel::rowInForce(int entryId, TDateTime date) const
{
    // Rows run by entry, then by date: the last match is the one.
    int found = -1;
    for (int row = 0; row < rows; ++row) {
        int itemEntry = 0;
        TDateTime itemDate = 0;
        double uploadPrice = 0;
        double downloadPrice = 0;
        prices->getItem(row, itemEntry, itemDate, uploadPrice, downloadPrice);
        if (itemEntry == entryId && itemDate <= date)
            found = row;
    }
    return found;
}

int pricesListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows; }

int pricesListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QString pricesListModel::cellText(int row, int column) const
{
    int entryId = 0;
    TDateTime date = 0;
    double uploadPrice = 0;
    double downloadPrice = 0;
    prices->getItem(row, entryId, date, uploadPrice, downloadPrice);
    switch (column) {
    case DateColumn:
        return shortDateText(date);
    case ConnectionColumn:
        return QString::fromStdString(prices->getEntryNames()->nameOf(entryId));
    case UploadColumn:
        return priceText(uploadPrice);
    default:
        return priceText(downloadPrice);
    }
}

QVariant pricesListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    // A table changed behind the list's back (another editor) shows no
    // item it no longer has.
    if (!prices || index.row() >= prices->size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return headerData(index.column(), Qt::Horizontal, role);
    default:
        return {};
    }
}

QVariant pricesListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromUtf8(CAPTIONS[section]);
    if (role == Qt::TextAlignmentRole)
        return columnAlignment(section >= UploadColumn);
    return {};
}
