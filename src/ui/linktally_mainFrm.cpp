#include "ui/linktally_mainFrm.h"

#include "common/common.h"
#include "common/ltassert.h"
#include "model/datamodel.h"
#include "ui/allTotalsFrme.h"
#include "ui/guicommon.h"
#include "ui/hourCosts.h"
#include "ui/LogFrame.h"
#include "ui/monthCostsFrme.h"
#include "ui/weekCostsFrme.h"
#include "ui/yearCostsFrme.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int PAGE_CONTROL_WIDTH = 689;

// A tab sheet whose one frame fills it, inside a border.
QWidget* newSheet(QTabWidget* pages, const char* name, const char* caption)
{
    auto* sheet = new QWidget;
    sheet->setObjectName(name);
    pages->addTab(sheet, caption);
    auto* fill = new QVBoxLayout(sheet);
    fill->setContentsMargins(0, 0, 0, 0);
    return sheet;
}

template <class Frame> Frame* newFrame(QWidget* holder, const char* name)
{
    auto* frame = new Frame(holder);
    frame->setObjectName(name);
    holder->layout()->addWidget(frame);
    return frame;
}

} // namespace

TMainForm2::TMainForm2(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("MainForm2");
    setWindowTitle(QString::fromUtf8(TOTALS_WINDOW_TITLE));
    // System menu and maximise only: no minimise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    useDialogFont(this);
    resize(clientSizeFor(716, 474));
    centreOnScreen(this);

    mainPanel = new QFrame(this);
    mainPanel->setObjectName("mainPanel");
    auto* fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(mainPanel);

    // The tabs keep their designed width and follow the window's height.
    PageControl = new QTabWidget(mainPanel);
    PageControl->setObjectName("PageControl");
    PageControl->setFixedWidth(PAGE_CONTROL_WIDTH);
    auto* left = new QHBoxLayout(mainPanel);
    left->setContentsMargins(8, 8, 8, 8);
    left->addWidget(PageControl);
    left->addStretch();

    tsTotals = newSheet(PageControl, "tsTotals", "Totals");
    Panel1 = newFrame<QFrame>(tsTotals, "Panel1");
    auto* border = new QVBoxLayout(Panel1);
    border->setContentsMargins(6, 6, 6, 6);
    tsDay = newSheet(PageControl, "tsDay", "Day");
    tsWeek = newSheet(PageControl, "tsWeek", "Week");
    tsMonth = newSheet(PageControl, "tsMonth", "Month");
    tsYear = newSheet(PageControl, "tsYear", "Year");
    TabSheet3 = newSheet(PageControl, "TabSheet3", "Connection Log");
    // The first showing opens on the log; later ones keep the last tab.
    PageControl->setCurrentWidget(TabSheet3);
}

// Hidden first, while the records still live: the focus leaving a tab
// may still apply a date typed into its picker.
TMainForm2::~TMainForm2()
{
    if (isVisible())
        hide();
}

void TMainForm2::createFrames()
{
    if (!frames.empty())
        return;
    allTotalsFrame = newFrame<TAllTotalsFrame>(Panel1, "allTotalsFrame");
    hourCostsFrame = newFrame<THourCostsFrame>(tsDay, "hourCostsFrame");
    weekCostsFrame = newFrame<TWeekCostsFrame>(tsWeek, "weekCostsFrame");
    monthCostsFrame = newFrame<TmonthCostsFrame>(tsMonth, "monthCostsFrame");
    yearCostsFrame = newFrame<TYearCostsFrame>(tsYear, "yearCostsFrame");
    logRecordsFrame = newFrame<TLogRecordsFrame>(TabSheet3, "logRecordsFrame");
    frames = {allTotalsFrame, hourCostsFrame, weekCostsFrame, monthCostsFrame, yearCostsFrame, logRecordsFrame};
}

void TMainForm2::prepare(Prices* prices, DataList* entryNames, RecordFilter* filter, TodayTotals* todayTotals,
                         SharedStatisticsReader* sharedStat)
{
    LT_ASSERT_TEXT(prices, "prices");
    this->prices = prices;
    this->filter = filter;
    this->todayTotals = todayTotals;
    this->sharedStat = sharedStat;
    createFrames();
    allTotalsFrame->budgets = budgets;
    allTotalsFrame->budgetsChanged = budgetsChanged;
    try {
        records = std::make_unique<LogRecords>(prices, entryNames);
        if (!logReader)
            logReader = std::make_unique<LogReader>(monitor::getConnectionLogFile());
        const DamageNotices damage = readLog();
        for (TBasicFrame* frame : frames)
            frame->init(records.get(), filter, todayTotals, sharedStat);
        tellDamage(damage);
    } catch (...) {
        // A reader left standing past records that were never shown would
        // hide them from the next opening.
        FormHide();
        throw;
    }
}

void TMainForm2::filterChanged()
{
    if (!isVisible())
        return;
    for (TBasicFrame* frame : frames)
        frame->filterChanged();
}

void TMainForm2::pricesChanged()
{
    if (!isVisible())
        return;
    for (TBasicFrame* frame : frames)
        frame->pricesChanged();
}

void TMainForm2::refreshTotals(bool changed)
{
    if (!isVisible())
        return;
    const DamageNotices damage = changed ? readLog() : DamageNotices();
    allTotalsFrame->updateTotals();
    tellDamage(damage);
}

DamageNotices TMainForm2::readLog()
{
    DamageNotices damage(toldDamage, monitor::getConnectionLogFile());
    readPastCorruption([this] { logReader->readAll(*records); },
                       [&damage](const LTDataCorruptedException& e) { damage.add(e); });
    return damage;
}

void TMainForm2::tellDamage(const DamageNotices& damage)
{
    if (damage.empty())
        return;
    // After the meter has shown the window with what was read.
    QTimer::singleShot(0, this, guarded([this, text = damage.lines().join("\n\n")] { MessageBox::showError(this, text); }));
}

void TMainForm2::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // A window manager's minimise hides the window spontaneously while it
    // stays "visible" to the meter's forwards: the records must stay.
    if (!event->spontaneous())
        FormHide();
}

void TMainForm2::FormHide()
{
    logReader.reset();
    records.reset();
    prices = nullptr;
}
