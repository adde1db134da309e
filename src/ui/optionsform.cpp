#include "ui/optionsform.h"

#include "common/ltassert.h"
#include "model/datamodel.h"
#include "model/optionsmodel.h"
#include "ui/guicommon.h"

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QScreen>
#include <QSlider>
#include <QToolButton>

namespace {


QLabel* newLabel(QWidget* parent, const char* name, const char* caption, int left, int top)
{
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(name);
    label->move(left, top);
    label->adjustSize();
    return label;
}

// A label without a buddy would show its '&' as it is; this one shows the
// letter after it underlined, as a label with a focus control does, and
// keeps its caption in accessibleName.
void underlineMnemonic(QLabel* label)
{
    const QString caption = label->text();
    const qsizetype at = caption.indexOf('&');
    label->setAccessibleName(caption);
    label->setTextFormat(Qt::RichText);
    label->setText(caption.left(at).toHtmlEscaped() + "<u>" + caption.mid(at + 1, 1).toHtmlEscaped() + "</u>" +
                   caption.mid(at + 2).toHtmlEscaped());
    label->adjustSize();
}

QFrame* newColourPanel(QWidget* parent, const char* name, int top)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(124, top, 73, 22);
    panel->setAutoFillBackground(true);
    return panel;
}

QToolButton* newColourButton(QWidget* parent, const char* name, QAction* action, int top)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setDefaultAction(action);
    // The caption "..." itself: a tool button's text would drop it.
    action->setIconText(action->text());
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setGeometry(208, top, 23, 22);
    return button;
}

void paintPanel(QFrame* panel, std::uint32_t value)
{
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, colorFromValue(value));
    panel->setPalette(palette);
}

// A label centred under the track bar's mark near x: the marks sit 4
// pixels right of the positions the dialog was laid out with.
QLabel* newScaleLabel(QWidget* parent, const char* name, const char* caption, int x)
{
    constexpr int markOffset = 4;
    QLabel* label = newLabel(parent, name, caption, x, 172);
    label->move(x + markOffset - label->width() / 2, 172);
    return label;
}

} // namespace

TOptionsFrm::TOptionsFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName("OptionsFrm");
    setWindowTitle("Options");
    setFixedSize(clientSizeFor(402, 285));
    // "Graph Background" must end before the colour panels at 124.
    useDialogFont(this);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(8, 8, 377, 197);

    actGraphColour = new QAction("...", this);
    actGraphColour->setObjectName("actGraphColour");
    actGraphColour->setToolTip("Graph Colour");
    actGraphColour->setShortcut(QKeySequence(Qt::ALT | Qt::Key_G));
    connect(actGraphColour, &QAction::triggered, this, guarded([this] { actGraphColourExecute(); }));
    actGraphBackground = new QAction("...", this);
    actGraphBackground->setObjectName("actGraphBackground");
    actGraphBackground->setToolTip("Graph Background Colour");
    actGraphBackground->setShortcut(QKeySequence(Qt::ALT | Qt::Key_B));
    connect(actGraphBackground, &QAction::triggered, this, guarded([this] { actGraphBackgroundExecute(); }));
    addAction(actGraphColour);
    addAction(actGraphBackground);

    Label1 = newLabel(Panel1, "Label1", "&Connection", 12, 20);
    cbEntryName = new QComboBox(Panel1);
    cbEntryName->setObjectName("cbEntryName");
    cbEntryName->setEditable(false);
    cbEntryName->setGeometry(124, 16, 241, cbEntryName->sizeHint().height());
    Label1->setBuddy(cbEntryName);

    cbAutoStart = new QCheckBox("&Load with Windows", Panel1);
    cbAutoStart->setObjectName("cbAutoStart");
    cbAutoStart->setLayoutDirection(Qt::RightToLeft); // the text left of the box
    cbAutoStart->setToolTip("Start Linktally Monitor when you log on");
    cbAutoStart->setGeometry(12, 48, 125, cbAutoStart->sizeHint().height());
    cbAutoStart->setMinimumWidth(cbAutoStart->sizeHint().width());

    // Alt+G and Alt+B belong to the colour actions, so these two labels
    // carry no buddy of their own: they only show their letter underlined.
    Label2 = newLabel(Panel1, "Label2", "&Graph Colour", 12, 80);
    underlineMnemonic(Label2);
    pGraphColour = newColourPanel(Panel1, "pGraphColour", 76);
    sbGraphColour = newColourButton(Panel1, "sbGraphColour", actGraphColour, 76);

    Label3 = newLabel(Panel1, "Label3", "Graph &Background", 12, 112);
    underlineMnemonic(Label3);
    pBackgroundColour = newColourPanel(Panel1, "pBackgroundColour", 108);
    sbGraphBackground = newColourButton(Panel1, "sbGraphBackground", actGraphBackground, 108);

    Label4 = newLabel(Panel1, "Label4", "&Transparency", 12, 144);
    tbTransparency = new QSlider(Qt::Horizontal, Panel1);
    tbTransparency->setObjectName("tbTransparency");
    tbTransparency->setRange(0, 90);
    tbTransparency->setTickInterval(10);
    tbTransparency->setPageStep(10);
    tbTransparency->setTickPosition(QSlider::TicksBelow);
    tbTransparency->setGeometry(116, 144, 249, 29);
    Label4->setBuddy(tbTransparency);
    Label5 = newScaleLabel(Panel1, "Label5", "0%", 120);
    Label7 = newScaleLabel(Panel1, "Label7", "50%", 244);
    Label6 = newScaleLabel(Panel1, "Label6", "90%", 348);

    btnOk = new QPushButton("OK", this);
    btnOk->setObjectName("btnOk");
    btnOk->setGeometry(212, 224, 75, 25);
    btnOk->setDefault(true);
    // An auto-start entry that cannot be written is shown; the dialog stays.
    connect(btnOk, &QPushButton::clicked, this, guarded([this] { btnOkClick(); }));
    BitBtn1 = new QPushButton("Cancel", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(308, 224, 75, 25);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);

    ColorDialog = new QColorDialog(this);
    ColorDialog->setObjectName("ColorDialog");
    pickColour = [this](const QColor& current) -> std::optional<QColor> {
        ColorDialog->setCurrentColor(current);
        if (ColorDialog->exec() != QDialog::Accepted)
            return std::nullopt;
        return ColorDialog->selectedColor();
    };
}

void TOptionsFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Restored from minimised: the user's input stays, and where it was.
    if (event->spontaneous())
        return;
    centreOnScreen(this);
    FormShow();
}

void TOptionsFrm::FormShow()
{
    LT_ASSERT_TEXT(entryNames, "entryNames");
    LT_ASSERT_TEXT(options, "options");
    cbEntryName->clear();
    for (int i = 0; i < entryNames->size(); ++i)
        cbEntryName->addItem(QString::fromStdString(entryNames->nameOf(i)));
    if (options->getConnectionId() >= 0)
        cbEntryName->setCurrentIndex(options->getConnectionId());
    cbAutoStart->setChecked(options->getAutoStart());
    graphValue = options->getChartFG();
    backgroundValue = options->getChartBG();
    paintPanel(pGraphColour, graphValue);
    paintPanel(pBackgroundColour, backgroundValue);
    tbTransparency->setValue(options->getTransparency());
}

bool TOptionsFrm::chooseColour(std::uint32_t& value, QFrame* panel)
{
    const std::optional<QColor> chosen = pickColour(colorFromValue(value));
    if (!chosen)
        return false;
    value = valueFromColor(*chosen);
    paintPanel(panel, value);
    return true;
}

void TOptionsFrm::actGraphColourExecute() { chooseColour(graphValue, pGraphColour); }

void TOptionsFrm::actGraphBackgroundExecute() { chooseColour(backgroundValue, pBackgroundColour); }

void TOptionsFrm::btnOkClick()
{
    options->setConnectionId(cbEntryName->currentIndex());
    options->setAutoStart(cbAutoStart->isChecked());
    options->setChartFG(graphValue);
    options->setChartBG(backgroundValue);
    options->setTransparency(tbTransparency->value());
    accept();
}

void runOptionsDialog(DataList* entryNames, LTOptions* options, QWidget* parent)
{
    LT_ASSERT_TEXT(entryNames != 0, "entryNames != 0");
    LT_ASSERT_TEXT(options != 0, "options != 0");
    TOptionsFrm form(parent);
    form.entryNames = entryNames;
    form.options = options;
    form.exec();
}
