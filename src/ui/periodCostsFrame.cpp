#include "ui/periodCostsFrame.h"

#include "ui/guicommon.h"
#include "ui/periodTotalsModel.h"
#include "ui/stackedbarchart.h"
#include "ui/totalsFrame.h"

#include <QAction>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QSignalBlocker>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int FRAME_WIDTH = 635;
constexpr int FRAME_HEIGHT = 397;
constexpr int PANEL1_BORDER = 7;
constexpr int PANEL2_BORDER = 6;
constexpr int TOOLBAR_HEIGHT = 24;
constexpr int TOOLBAR_INDENT = 4;
constexpr QSize BUTTON_SIZE(20, 18);
constexpr int DATE_WIDTH = 93;

// A panel without a bevel whose children fill it inside border.
template <class Layout> Layout* borderedLayout(QWidget* panel, int border)
{
    auto* layout = new Layout(panel);
    layout->setContentsMargins(border, border, border, border);
    layout->setSpacing(0);
    return layout;
}

QFrame* newPanel(QWidget* parent, const char* name)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::NoFrame);
    return panel;
}

} // namespace

TPeriodCostsFrame::TPeriodCostsFrame(const PeriodVariant& variant, QWidget* parent)
    : TBasicFrame(parent), variant(variant)
{
    useDialogFont(this);
    resize(FRAME_WIDTH, FRAME_HEIGHT);

    ActionList = new QObject(this);
    ActionList->setObjectName("ActionList");
    actPred = newAction(ActionList, "actPred", variant.predCaption, variant.predCaption, ":/icons/prev.png");
    actNext = newAction(ActionList, "actNext", variant.nextCaption, variant.nextCaption, ":/icons/next.png");
    connect(actPred, &QAction::triggered, this, guarded([this] { actPredExecute(); }));
    connect(actNext, &QAction::triggered, this, guarded([this] { actNextExecute(); }));

    Panel1 = newPanel(this, "Panel1");
    borderedLayout<QVBoxLayout>(this, 0)->addWidget(Panel1);
    auto* panel1Layout = borderedLayout<QVBoxLayout>(Panel1, PANEL1_BORDER);

    buildToolBar();
    panel1Layout->addWidget(ToolBar1);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    panel1Layout->addLayout(body, 1);
    buildChart();
    body->addWidget(chart, 1);
    buildTotalsPanel();
    body->addWidget(Panel3);
}

void TPeriodCostsFrame::buildToolBar()
{
    ToolBar1 = newToolBar(Panel1, "ToolBar1", TOOLBAR_HEIGHT);
    // The bar's layout takes one margin for all four sides, so the indent
    // before the first item is a spacer of its own.
    auto* indent = new QWidget(ToolBar1);
    indent->setFixedWidth(TOOLBAR_INDENT);
    ToolBar1->addWidget(indent);

    dtpDay = new QDateEdit(ToolBar1);
    dtpDay->setObjectName("dtpDay");
    dtpDay->setCalendarPopup(true);
    // The weeks the Week tab shows run Sunday to Saturday, whatever the locale.
    dtpDay->calendarWidget()->setFirstDayOfWeek(Qt::Sunday);
    dtpDay->setDisplayFormat(shortDateFormat());
    dtpDay->setDateRange(qDateFromDate(FIRST_VIEW_DAY), qDateFromDate(LAST_VIEW_DAY));
    // Typing recomputes once the date is complete, not at every digit.
    dtpDay->setKeyboardTracking(false);
    dtpDay->setFixedWidth(std::max(DATE_WIDTH, dtpDay->sizeHint().width()));
    connect(dtpDay, &QDateEdit::dateChanged, this, guarded([this] { dtpDayChange(); }));
    ToolBar1->addWidget(dtpDay);

    Label1 = new QLabel(QStringLiteral("   "), ToolBar1);
    Label1->setObjectName("Label1");
    ToolBar1->addWidget(Label1);

    ToolButton1 = newToolButton(ToolBar1, "ToolButton1", actPred, BUTTON_SIZE);
    ToolButton2 = newToolButton(ToolBar1, "ToolButton2", actNext, BUTTON_SIZE);
}

void TPeriodCostsFrame::buildChart()
{
    chart = new TStackedBarChart(Panel1);
    chart->setObjectName("chart");
    chart->setSeriesTitles(QStringLiteral("Received"), QStringLiteral("Sent"));
    chart->setSeriesColors(colorFromValue(variant.receivedColour), colorFromValue(variant.sentColour));
    chart->setLabelsRotated(variant.axisLabelsRotated);
    chart->setOutlineStyle(variant.barOutline);
}

void TPeriodCostsFrame::buildTotalsPanel()
{
    Panel3 = newPanel(Panel1, "Panel3");
    Panel3->setFixedWidth(variant.totalsWidth);
    auto* panel3Layout = borderedLayout<QVBoxLayout>(Panel3, 0);

    totalsTableFrame = new TtotalsTableFrame(Panel3);
    totalsTableFrame->setObjectName("totalsTableFrame");
    totalsTableFrame->setFixedHeight(variant.totalsHeight);
    panel3Layout->addWidget(totalsTableFrame);

    Panel2 = newPanel(Panel3, "Panel2");
    panel3Layout->addWidget(Panel2, 1);

    lvTotals = new QTableView(Panel2);
    lvTotals->setObjectName("lvTotals");
    setUpReportView(lvTotals);
    totalsModel = new PeriodTotalsModel(periodTotals, QString::fromUtf8(variant.firstColumnHead), this);
    lvTotals->setModel(totalsModel);
    borderedLayout<QVBoxLayout>(Panel2, PANEL2_BORDER)->addWidget(lvTotals);

    QHeaderView* header = lvTotals->horizontalHeader();
    header->resizeSection(0, variant.firstColumnWidth);
    for (int column = 1; column <= static_cast<int>(variant.valueColumnWidths.size()); ++column)
        header->resizeSection(column, variant.valueColumnWidths[static_cast<std::size_t>(column - 1)]);
    // The header's own minimum is one for all columns; column 0's is its own.
    connect(header, &QHeaderView::sectionResized, this,
            guarded([this](int column, int, int width) { keepColumnMinimum(column, width); }));
}

void TPeriodCostsFrame::fitValueColumns()
{
    // A value is never cut: a column too narrow for its widest value
    // widens; one the user made wider stays so.
    QHeaderView* header = lvTotals->horizontalHeader();
    for (int column = 1; column <= static_cast<int>(variant.valueColumnWidths.size()); ++column) {
        const int needed = static_cast<QAbstractItemView*>(lvTotals)->sizeHintForColumn(column);
        if (needed > header->sectionSize(column))
            header->resizeSection(column, needed);
    }
}

void TPeriodCostsFrame::keepColumnMinimum(int column, int width)
{
    if (column == 0 && width < variant.firstColumnMinimum)
        lvTotals->horizontalHeader()->resizeSection(column, variant.firstColumnMinimum);
}

void TPeriodCostsFrame::init(LogRecords* records, RecordFilter* filter, TodayTotals* todayTotals,
                             SharedStatisticsReader* sharedStat)
{
    TBasicFrame::init(records, filter, todayTotals, sharedStat);
    showPeriod(Now());
}

void TPeriodCostsFrame::filterChanged() { showPeriod(periodStart); }

void TPeriodCostsFrame::pricesChanged() { showPeriod(periodStart); }

void TPeriodCostsFrame::showPeriod(TDateTime date)
{
    PeriodRows rows = computePeriod(variant.view, date, *records, *filter);
    periodStart = rows.start;
    totalsModel->reload([&] { periodTotals = std::move(rows.totals); }, std::move(rows.rowFormat));
    fitValueColumns();
    totalsTableFrame->showTotals(sumOfTotals(periodTotals), rows.title);
    showChart();
    showDate();
}

void TPeriodCostsFrame::showChart()
{
    std::vector<ChartRow> bars;
    bars.reserve(periodTotals.size());
    for (const Total4Period& row : periodTotals)
        bars.push_back({QString::fromStdString(FormatDateTime(variant.axisFormat, row.start)),
                        megabytesOf(row.received), megabytesOf(row.sent)});
    chart->setRows(std::move(bars));
}

void TPeriodCostsFrame::showDate()
{
    // The period is computed already: showing its start is no new choice.
    const QSignalBlocker quiet(dtpDay);
    dtpDay->setDate(qDateFromDate(std::clamp(periodStart, FIRST_VIEW_DAY, LAST_VIEW_DAY)));
    actPred->setEnabled(isViewDay(periodStart - 1));
    actNext->setEnabled(isViewDay(steppedStart(1)));
}

void TPeriodCostsFrame::dtpDayChange() { showPeriod(dateFromQDate(dtpDay->date())); }

TDateTime TPeriodCostsFrame::steppedStart(int direction) const
{
    return IncMonth(periodStart, direction * variant.stepMonths) + direction * variant.stepDays;
}

void TPeriodCostsFrame::step(int direction)
{
    // The arrows take no focus, so a date still being typed has not been
    // entered: it is, first, and the step goes from its period.
    dtpDay->interpretText();
    showPeriod(steppedStart(direction));
}

void TPeriodCostsFrame::actPredExecute() { step(-1); }

void TPeriodCostsFrame::actNextExecute() { step(1); }
