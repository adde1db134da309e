// The record dialog of the price editor ("Costs"): one price item's first
// day, connection, and upload and download price per megabyte.
#pragma once

#include "common/datetime.h"

#include <QDialog>

class DataList;
class QComboBox;
class QDateEdit;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class TPriceRecordEditorForm : public QDialog {
    Q_OBJECT
public:
    explicit TPriceRecordEditorForm(QWidget* parent = nullptr);

    bool isNew = true;
    TDateTime priceDate = 0;
    double uploadPrice = 0;
    double downloadPrice = 0;

    QFrame* Panel1;
    QLabel* Label1;
    QDateEdit* dtpDate;
    QLabel* lbConnection;
    QComboBox* cbEntryName;
    QLabel* Label2;
    QLineEdit* edUploadPrice;
    QLabel* Label3;
    QLineEdit* edDownloadPrice;
    QLabel* lbNegativePrice;
    QPushButton* btnOk;
    QPushButton* btnCancel;

    // The connections to choose from, in id order: item index = entry id.
    void setEntryNames(const DataList& entryNames);

    void FormShow();
    void updateOkButton();
    void edUploadPriceExit();
    // Reads the controls into the members; throws LTException for a price
    // that is not a number.
    void FormCloseQuery();

    // Closes with OK only when FormCloseQuery accepts the input; otherwise
    // its message is shown and the dialog stays open.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Edits one record modally. When the user confirms, date, entryId and the
// prices receive the input and the result is true; otherwise they are
// left as they were. Without isNew, entryId's connection is preselected.
bool runPriceRecordEditor(bool isNew, TDateTime& date, int& entryId, double& uploadPrice, double& downloadPrice,
                          const DataList& entryNames, QWidget* parent = nullptr);
