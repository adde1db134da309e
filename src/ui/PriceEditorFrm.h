// The price editor ("Costs"): lists every price item of every connection
// and adds, edits and deletes them in the price table itself. Whether the
// changes are kept is the caller's decision.
#pragma once

#include "common/datetime.h"

#include <QDialog>
#include <functional>

class DataList;
class Prices;
class pricesListModel;
class QAction;
class QPushButton;
class QTableView;

class TPriceEditorForm : public QDialog {
    Q_OBJECT
public:
    explicit TPriceEditorForm(QWidget* parent = nullptr);

    Prices* prices = nullptr;

    QTableView* lvPrices;
    QPushButton* btnAdd;
    QPushButton* btnEdit;
    QPushButton* btnDelete;
    QPushButton* btnOk;
    QPushButton* btnCancel;
    QAction* actAdd;
    QAction* actEdit;
    QAction* actDelete;

    // The record dialog, runPriceRecordEditor; tests answer in its place.
    std::function<bool(bool isNew, TDateTime& date, int& entryId, double& uploadPrice, double& downloadPrice,
                       const DataList& entryNames, QWidget* parent)>
        editRecord;

    void FormShow();
    void updateButtons();
    void actAddExecute();
    void actEditExecute();
    void actDeleteExecute();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The list's model, made when prices is known.
    void attachModel();
    // One item of the table, as getItem gives it.
    struct Item {
        int entryId = 0;
        TDateTime date = 0;
        double uploadPrice = 0;
        double downloadPrice = 0;
    };
    // The selected row's item; false without a selected row.
    bool selectedItem(Item& item) const;
    // The selected row, or -1.
    int selectedRow() const;
    // The list after a change of the table: new row count, no selection.
    void refresh();
    // Selects row, or the last one when row is past the end; none for -1.
    void selectRow(int row);

    pricesListModel* model = nullptr;
};

// Shows the editor modally over prices; true when the user closed it with OK.
bool runPriceEditor(Prices* prices, QWidget* parent = nullptr);
