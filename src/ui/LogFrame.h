// The Connection Log tab: the selected connection's records, 24 to a page,
// with paging controls under the list.
#pragma once

#include "model/datamodel.h"
#include "model/viewformat.h"
#include "ui/basicFrme.h"

#include <array>
#include <memory>

class LogRecordsModel;
class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QTableView;
class QToolBar;
class QToolButton;

class TLogRecordsFrame : public TBasicFrame {
    Q_OBJECT
public:
    explicit TLogRecordsFrame(QWidget* parent = nullptr);
    ~TLogRecordsFrame() override;

    void init(LogRecords* records, RecordFilter* filter, TodayTotals* todayTotals,
              SharedStatisticsReader* sharedStat) override;
    void filterChanged() override;
    void pricesChanged() override;

    void showPage(int pageNumber);
    void updatePageText();
    void updateActions();

    // Components.
    QFrame* Panel1;
    QTableView* lvLog;
    QToolBar* ToolBar1;
    QToolButton* ToolButton4;
    QToolButton* ToolButton1;
    QLabel* Label3;
    QLineEdit* edPageNum;
    QLabel* Label1;
    QToolButton* ToolButton2;
    QToolButton* ToolButton5;
    QObject* ActionList;
    QAction* actFirstPage;
    QAction* actPrevPage;
    QAction* actNextPage;
    QAction* actLastPage;
    QAction* actGoTo;

    const int pageSize = 24;
    int currentPage = 1;
    std::unique_ptr<LogRecordsPager> pager; // over records and filter
    listOfRecords pageRecords;              // the rows of currentPage

    // Handlers.
    void actFirstPageExecute();
    void actPrevPageExecute();
    void actNextPageExecute();
    void actLastPageExecute();
    void edPageNumEnter();
    void edPageNumExit();
    void actGoToExecute();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createComponents();
    void createActions();
    void newPager();
    int pagesCount() const;
    void fitConnectionNameColumn();
    void keepMinimumWidth(int column, int width);

    LogRecordsModel* logModel;
    // Each column's width, also the least it may be made (the connection
    // name's is its least: it takes whatever width is left).
    std::array<int, LOG_COLUMNS> columnWidths{};
};
