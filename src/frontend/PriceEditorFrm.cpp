#include "frontend/PriceEditorFrm.h"

#include "common/ltassert.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QVBoxLayout>

// Until the editor's controls exist: an empty "Costs" dialog.
bool runPriceEditor(Prices* prices, QWidget* parent)
{
    LT_ASSERT(prices);
    QDialog dialog(parent);
    dialog.setObjectName("PriceEditorForm");
    dialog.setWindowTitle("Costs");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    (new QVBoxLayout(&dialog))->addWidget(buttons);
    return dialog.exec() == QDialog::Accepted;
}
