#include "ui/LogFrame.h"

#include "common/ltassert.h"
#include "model/viewformat.h"
#include "ui/guicommon.h"
#include "ui/logRecordsModel.h"

#include <QAction>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {

constexpr int FRAME_WIDTH = 687;
constexpr int FRAME_HEIGHT = 409;
constexpr int BORDER = 7;
constexpr int TOOLBAR_HEIGHT = 23;
constexpr QSize BUTTON_SIZE(19, 18);
constexpr QSize EDIT_SIZE(78, 18);
constexpr int CONNECTION_NAME_COLUMN = 2;
// Each column's width, which is also the least it may be made. The
// connection name's is its least: it takes whatever width is left.
constexpr std::array<int, LOG_COLUMNS> COLUMN_WIDTHS = {49, 76, 180, 75, 105, 105, 50};
// The widest text of each column, so that a wider font than designed cuts
// no date or count short.
const std::array<const char*, LOG_COLUMNS> WIDEST_TEXTS = {"00/00/00", "00.00 - 00.00", "", "", "000 000 000 000",
                                                          "000 000 000 000", "0000.00"};

QLabel* newLabel(QToolBar* bar, const char* name, const char* text)
{
    auto* label = new QLabel(QString::fromUtf8(text), bar);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    bar->addWidget(label);
    return label;
}

// The whole text as a 32-bit decimal number: blanks around it and a sign
// are taken; anything else, or a number out of range, is not a number.
bool toPageNumber(const QString& text, int& number)
{
    bool ok = false;
    number = text.toInt(&ok, 10);
    return ok;
}

} // namespace

TLogRecordsFrame::TLogRecordsFrame(QWidget* parent) : TBasicFrame(parent)
{
    setObjectName("logRecordsFrame");
    useDialogFont(this);
    resize(FRAME_WIDTH, FRAME_HEIGHT);
    createActions();
    createComponents();
    updatePageText();
    updateActions();
}

// The model reads pageRecords: it goes before them, not with the children.
TLogRecordsFrame::~TLogRecordsFrame() { delete logModel; }

void TLogRecordsFrame::createActions()
{
    ActionList = new QObject(this);
    ActionList->setObjectName("ActionList");
    actFirstPage = newAction(ActionList, "actFirstPage", "First Page", "First Page", ":/icons/first.png");
    actPrevPage = newAction(ActionList, "actPrevPage", "Previous Page", "Previous Page", ":/icons/prev.png");
    actNextPage = newAction(ActionList, "actNextPage", "Next Page", "Next Page", ":/icons/next.png");
    actLastPage = newAction(ActionList, "actLastPage", "Last Page", "Last Page", ":/icons/last.png");
    actGoTo = newAction(ActionList, "actGoTo", "", "");
    actGoTo->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    actGoTo->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(actGoTo);

    connect(actFirstPage, &QAction::triggered, this, guarded([this] { actFirstPageExecute(); }));
    connect(actPrevPage, &QAction::triggered, this, guarded([this] { actPrevPageExecute(); }));
    connect(actNextPage, &QAction::triggered, this, guarded([this] { actNextPageExecute(); }));
    connect(actLastPage, &QAction::triggered, this, guarded([this] { actLastPageExecute(); }));
    connect(actGoTo, &QAction::triggered, this, guarded([this] { actGoToExecute(); }));
}

void TLogRecordsFrame::createComponents()
{
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameShape(QFrame::NoFrame);
    auto* fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(Panel1);
    auto* inside = new QVBoxLayout(Panel1);
    inside->setContentsMargins(BORDER, BORDER, BORDER, BORDER);
    inside->setSpacing(0);

    lvLog = new QTableView(Panel1);
    lvLog->setObjectName("lvLog");
    setUpReportView(lvLog);
    logModel = new LogRecordsModel(pageRecords, this);
    lvLog->setModel(logModel);
    QHeaderView* header = lvLog->horizontalHeader();
    header->setStretchLastSection(false);
    for (int column = 0; column < LOG_COLUMNS; ++column) {
        columnWidths[column] = columnWidthFor(lvLog, COLUMN_WIDTHS[column], QString::fromUtf8(WIDEST_TEXTS[column]));
        header->resizeSection(column, columnWidths[column]);
    }
    header->setSectionResizeMode(CONNECTION_NAME_COLUMN, QHeaderView::Fixed);
    connect(header, &QHeaderView::sectionResized, this,
            guarded([this](int column, int, int width) { keepMinimumWidth(column, width); }));
    lvLog->viewport()->installEventFilter(this);
    inside->addWidget(lvLog);

    ToolBar1 = newToolBar(Panel1, "ToolBar1", TOOLBAR_HEIGHT);
    ToolButton4 = newToolButton(ToolBar1, "ToolButton4", actFirstPage, BUTTON_SIZE);
    ToolButton1 = newToolButton(ToolBar1, "ToolButton1", actPrevPage, BUTTON_SIZE);
    Label3 = newLabel(ToolBar1, "Label3", "   Page ");
    // As high as the page box, so that both texts share a middle.
    Label3->setFixedHeight(EDIT_SIZE.height());
    edPageNum = new QLineEdit(ToolBar1);
    edPageNum->setObjectName("edPageNum");
    edPageNum->setFixedSize(EDIT_SIZE);
    edPageNum->installEventFilter(this);
    ToolBar1->addWidget(edPageNum);
    Label1 = newLabel(ToolBar1, "Label1", "  ");
    ToolButton2 = newToolButton(ToolBar1, "ToolButton2", actNextPage, BUTTON_SIZE);
    ToolButton5 = newToolButton(ToolBar1, "ToolButton5", actLastPage, BUTTON_SIZE);
    inside->addWidget(ToolBar1);
}

void TLogRecordsFrame::init(LogRecords* records, RecordFilter* filter, TodayTotals* todayTotals,
                            SharedStatisticsReader* sharedStat)
{
    TBasicFrame::init(records, filter, todayTotals, sharedStat);
    newPager();
    showPage(pager->getPagesCount());
    fitConnectionNameColumn();
}

void TLogRecordsFrame::filterChanged()
{
    newPager();
    showPage(pager->getPagesCount());
}

void TLogRecordsFrame::pricesChanged() { logModel->costsChanged(); }

void TLogRecordsFrame::newPager()
{
    LT_ASSERT(records && filter); // init comes first
    pager = std::make_unique<LogRecordsPager>(pageSize, *records, *filter);
}

int TLogRecordsFrame::pagesCount() const { return pager ? pager->getPagesCount() : 1; }

void TLogRecordsFrame::showPage(int pageNumber)
{
    LT_ASSERT_TEXT(pager && pageNumber >= 1 && pageNumber <= pager->getPagesCount(),
                   "pager && pageNumber >= 1 && pageNumber <= pager->getPagesCount()");
    currentPage = pageNumber;
    updatePageText();
    logModel->reload(*records, [&] { pager->getPage(pageNumber, pageRecords); });
    updateActions();
}

void TLogRecordsFrame::updatePageText()
{
    // While it is edited the box holds the bare number.
    edPageNum->setText(edPageNum->hasFocus() ? QString::number(currentPage)
                                             : QString::fromStdString(pageOfPages(currentPage, pagesCount())));
}

void TLogRecordsFrame::updateActions()
{
    const bool more = currentPage < pagesCount();
    actNextPage->setEnabled(more);
    actLastPage->setEnabled(more);
    actPrevPage->setEnabled(currentPage > 1);
    actFirstPage->setEnabled(currentPage > 1);
}

void TLogRecordsFrame::actFirstPageExecute() { showPage(1); }

void TLogRecordsFrame::actPrevPageExecute()
{
    if (currentPage > 1)
        showPage(currentPage - 1);
}

void TLogRecordsFrame::actNextPageExecute()
{
    if (currentPage < pager->getPagesCount())
        showPage(currentPage + 1);
}

void TLogRecordsFrame::actLastPageExecute() { showPage(pager->getPagesCount()); }

void TLogRecordsFrame::edPageNumEnter() { updatePageText(); }

void TLogRecordsFrame::edPageNumExit() { updatePageText(); }

void TLogRecordsFrame::actGoToExecute()
{
    // Before the first init there is no page to go to.
    if (!pager || !edPageNum->hasFocus())
        return;
    const QString text = edPageNum->text();
    int page = 0;
    if (!toPageNumber(text, page)) {
        MessageBox::showError(this, QString("'%1' - is not a correct page number!").arg(text));
        return;
    }
    showPage(std::max(std::min(page, pager->getPagesCount()), 1));
}

namespace {

// Entering or leaving the page box within the window; another window
// taking the activation (an error box, another program) is neither.
bool movesWithinWindow(QEvent* event)
{
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

} // namespace

bool TLogRecordsFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edPageNum && event->type() == QEvent::FocusIn && movesWithinWindow(event))
        guarded([this] { edPageNumEnter(); })();
    else if (watched == edPageNum && event->type() == QEvent::FocusOut && movesWithinWindow(event))
        guarded([this] { edPageNumExit(); })();
    else if (watched == lvLog->viewport() && event->type() == QEvent::Resize)
        guarded([this] { fitConnectionNameColumn(); })();
    return TBasicFrame::eventFilter(watched, event);
}

void TLogRecordsFrame::fitConnectionNameColumn()
{
    const QHeaderView* header = lvLog->horizontalHeader();
    int others = 0;
    for (int column = 0; column < LOG_COLUMNS; ++column)
        if (column != CONNECTION_NAME_COLUMN)
            others += header->sectionSize(column);
    const int width = std::max(columnWidths[CONNECTION_NAME_COLUMN], lvLog->viewport()->width() - others);
    lvLog->horizontalHeader()->resizeSection(CONNECTION_NAME_COLUMN, width);
}

void TLogRecordsFrame::keepMinimumWidth(int column, int width)
{
    if (width < columnWidths[column])
        lvLog->horizontalHeader()->resizeSection(column, columnWidths[column]);
    else if (column != CONNECTION_NAME_COLUMN)
        fitConnectionNameColumn();
}
