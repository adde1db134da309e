#include "ui/PriceEditorFrm.h"

#include "common/ltassert.h"
#include "model/datamodel.h"
#include "ui/guicommon.h"
#include "ui/PriceRecordEditorFrm.h"
#include "ui/pricesListModel.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPalette>
#include <QPushButton>
#include <QShowEvent>
#include <QScreen>
#include <QTableView>
#include <algorithm>
#include <climits>

namespace {


struct ColumnLimits {
    int width;
    int minimum;
    int maximum;
};
// By pricesListModel::Column. The connection takes the width the others
// leave, but never less than its minimum.
constexpr ColumnLimits COLUMNS[pricesListModel::ColumnCount] = {
    {65, 65, INT_MAX}, {180, 180, INT_MAX}, {75, 75, 150}, {90, 90, 150}};

// A push button that stands for an action: its caption, hint and state.
QPushButton* newActionButton(QWidget* parent, const char* name, QAction* action, int top)
{
    auto* button = new QPushButton(action->text(), parent);
    button->setObjectName(name);
    button->setGeometry(507, top, 75, 25);
    button->setToolTip(action->toolTip());
    button->setEnabled(action->isEnabled());
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::enabledChanged, button, &QWidget::setEnabled);
    return button;
}

QPushButton* newButton(QWidget* parent, const char* name, const char* caption, int top)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(name);
    button->setGeometry(507, top, 75, 25);
    return button;
}

// The selected row keeps its colour while another control has the focus.
void keepSelectionVisible(QWidget* view)
{
    QPalette palette = view->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setBrush(QPalette::Inactive, role, palette.brush(QPalette::Active, role));
    view->setPalette(palette);
}

// Holds a column the user resized within its limits, leaving the
// connection its minimum of the list's width.
void keepColumnLimits(QHeaderView* header, int column)
{
    if (column == pricesListModel::ConnectionColumn)
        return;
    int room = header->width() - COLUMNS[pricesListModel::ConnectionColumn].minimum;
    for (int other = 0; other < pricesListModel::ColumnCount; ++other)
        if (other != column && other != pricesListModel::ConnectionColumn)
            room -= header->sectionSize(other);
    const ColumnLimits& limits = COLUMNS[column];
    const int widest = std::max(limits.minimum, std::min(limits.maximum, room));
    const int width = std::clamp(header->sectionSize(column), limits.minimum, widest);
    if (width != header->sectionSize(column))
        header->resizeSection(column, width);
}

} // namespace

TPriceEditorForm::TPriceEditorForm(QWidget* parent) : QDialog(parent)
{
    setObjectName("PriceEditorForm");
    setWindowTitle("Costs");
    setFixedSize(clientSizeFor(603, 289));
    useDialogFont(this);

    model = new pricesListModel(nullptr, this);
    lvPrices = new QTableView(this);
    lvPrices->setObjectName("lvPrices");
    lvPrices->setGeometry(8, 8, 484, 245);
    lvPrices->setModel(model);
    setUpReportView(lvPrices);
    keepSelectionVisible(lvPrices);
    QHeaderView* header = lvPrices->horizontalHeader();
    header->setMinimumSectionSize(COLUMNS[pricesListModel::DateColumn].minimum);
    // A caption wider in this font than its designed width widens its
    // column, within the column's maximum.
    for (int column = 0; column < pricesListModel::ColumnCount; ++column) {
        const ColumnLimits& limits = COLUMNS[column];
        header->resizeSection(column, std::clamp(header->sectionSizeHint(column), limits.width, limits.maximum));
    }
    // And the date column its widest date, whatever the month's name.
    int dateWidth = header->sectionSize(pricesListModel::DateColumn);
    for (int month = 1; month <= 12; ++month)
        dateWidth = std::max(dateWidth, columnWidthFor(lvPrices, 0, shortDateText(EncodeDate(2000, month, 28))));
    header->resizeSection(pricesListModel::DateColumn, dateWidth);
    header->setSectionResizeMode(pricesListModel::ConnectionColumn, QHeaderView::Stretch);
    connect(header, &QHeaderView::sectionResized, this,
            guarded([header](int column, int, int) { keepColumnLimits(header, column); }));
    connect(lvPrices->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            guarded([this] { updateButtons(); }));

    actAdd = newAction(this, "actAdd", "&Add", "Add");
    connect(actAdd, &QAction::triggered, this, guarded([this] { actAddExecute(); }));
    actEdit = newAction(this, "actEdit", "&Edit", "Edit");
    connect(actEdit, &QAction::triggered, this, guarded([this] { actEditExecute(); }));
    actDelete = newAction(this, "actDelete", "&Delete", "Delete");
    connect(actDelete, &QAction::triggered, this, guarded([this] { actDeleteExecute(); }));
    btnAdd = newActionButton(this, "btnAdd", actAdd, 8);
    btnEdit = newActionButton(this, "btnEdit", actEdit, 44);
    btnDelete = newActionButton(this, "btnDelete", actDelete, 80);

    btnOk = newButton(this, "btnOk", "OK", 192);
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, guarded([this] { accept(); }));
    btnCancel = newButton(this, "btnCancel", "Cancel", 228);
    connect(btnCancel, &QPushButton::clicked, this, guarded([this] { reject(); }));

    editRecord = runPriceRecordEditor;
}

void TPriceEditorForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Restored from minimised: the user's input stays, and where it was.
    if (event->spontaneous())
        return;
    centreOnScreen(this);
    guarded([this] { FormShow(); })();
}

void TPriceEditorForm::FormShow()
{
    LT_ASSERT_TEXT(prices, "prices");
    model->setPrices(prices);
    updateButtons();
}

int TPriceEditorForm::selectedRow() const
{
    const QModelIndexList rows = lvPrices->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TPriceEditorForm::updateButtons()
{
    const bool selected = selectedRow() >= 0;
    actAdd->setEnabled(true);
    actEdit->setEnabled(selected);
    actDelete->setEnabled(selected);
}

void TPriceEditorForm::refresh()
{
    model->reload();
    updateButtons();
}

void TPriceEditorForm::selectRow(int row)
{
    // The buttons follow the selection.
    const int last = model->rowCount() - 1;
    if (row >= 0 && last >= 0)
        lvPrices->selectRow(std::min(row, last));
}

void TPriceEditorForm::actAddExecute()
{
    TDateTime date = Now();
    int entryId = -1;
    double uploadPrice = 0;
    double downloadPrice = 0;
    if (!editRecord(true, date, entryId, uploadPrice, downloadPrice, *prices->getEntryNames(), this))
        return;
    prices->setPrice(entryId, date, uploadPrice, downloadPrice);
    refresh();
    selectRow(model->rowInForce(entryId, date));
}

bool TPriceEditorForm::selectedItem(Item& item) const
{
    const int row = selectedRow();
    if (row < 0)
        return false;
    prices->getItem(row, item.entryId, item.date, item.uploadPrice, item.downloadPrice);
    return true;
}

void TPriceEditorForm::actEditExecute()
{
    Item old;
    if (!selectedItem(old))
        return;
    Item edited = old;
    if (!editRecord(false, edited.date, edited.entryId, edited.uploadPrice, edited.downloadPrice,
                    *prices->getEntryNames(), this))
        return;
    // Removed first: the edited item may land on another entry or day.
    // The list follows the table whatever happens.
    try {
        prices->removePrice(old.entryId, old.date);
        prices->setPrice(edited.entryId, edited.date, edited.uploadPrice, edited.downloadPrice);
    } catch (...) {
        refresh();
        throw;
    }
    refresh();
    selectRow(model->rowInForce(edited.entryId, edited.date));
}

void TPriceEditorForm::actDeleteExecute()
{
    Item item;
    if (!selectedItem(item))
        return;
    const int row = selectedRow();
    prices->removePrice(item.entryId, item.date);
    refresh();
    // The row that took the deleted one's place.
    selectRow(row);
}

bool runPriceEditor(Prices* prices, QWidget* parent)
{
    LT_ASSERT_TEXT(prices, "prices");
    TPriceEditorForm form(parent);
    form.prices = prices;
    return form.exec() == QDialog::Accepted;
}
