// The meter window: the live traffic chart, today's megabytes and costs,
// Online/Offline, the tray icon and the menus that lead to every other
// window. The meter owns the monitor's models.
#pragma once

#include "ui/guicommon.h"
#include "ui/meterwidgets.h"

#include <QFrame>
#include <QImage>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class BudgetWatch;
class ConnectionsTracer;
class DataList;
class DbgLogger;
class LTDataCorruptedException;
class LTOptions;
class Prices;
class RasProvider;
class RecordFilter_byConnectionName;
class SharedStatisticsReader;
class TodayTotals;
class TMainForm2;
class TSplashFrm;
class QAction;
class QFileSystemWatcher;
class QLabel;
class QMenu;
class QPainter;
class QTimer;
class QToolButton;

enum TLTMonitorState : std::uint8_t { ltmsCreated = 0, ltmsRunning = 1 };

class TMainForm : public QWidget {
    Q_OBJECT
public:
    // ras answers the phone book; dbgLogger, when given, traces every
    // status update. Throws LTException when a model cannot be built.
    TMainForm(RasProvider& ras, DbgLogger* dbgLogger = nullptr, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The windows created after the meter, which it calls.
    void attach(TMainForm2* totals, TSplashFrm* splash);

    void startMonitor();
    void updateModel();
    void updateStatus();
    // Paints the chart of the selected connection on a canvas of W x H.
    void drawChart(QPainter& canvas, int W, int H);
    bool isConnectionOnline();
    void selectConnection(int newConnectionId);
    void restorePosition();
    // Whether the user sees the meter: shown, not minimised, on the
    // current desktop. Show and Hide go by it.
    bool isSeen() const;
    void applyTransparency();
    // 0 adds, 1 modifies, 2 deletes the tray icon; false when refused.
    bool notifyTrayIcon(int message);


    // Components.
    QLabel* Image1;
    QFrame* panelChart;
    TPaintBox* pbChart;
    QWidget* pBottom;
    TStatusBar* StatusBar;
    QToolButton* sbConMenu;
    QTimer* Timer;
    QTimer* HideTimer;
    QMenu* PopupMenu1;
    QMenu* pmConMenu;
    QObject* ActionList;
    QObject* ImageList;
    QAction* actHide;
    QAction* actShow;
    QAction* actShutdown;
    QAction* actShowHide;
    QAction* actTotals;
    QAction* actOptions;
    QAction* actPrices;
    QAction* actAbout;
    QSystemTrayIcon* trayIcon = nullptr;
    // Whether the desktop has a tray now (QSystemTrayIcon's answer).
    std::function<bool()> isTrayAvailable;
    // The price editor: true when the user confirmed (runPriceEditor).
    std::function<bool(Prices* prices, QWidget* parent)> runPrices;
    // The desktop's notification service (DesktopNotifier on the session
    // bus, reached at the first alert); false when none took the message.
    std::function<bool(const QString& summary, const QString& body, bool critical)> notifyDesktop;

    // Models (owned), in the order they are made.
    std::unique_ptr<SharedStatisticsReader> sharedStat;
    std::unique_ptr<ConnectionsTracer> tracer;
    TLTMonitorState ltMonitorState = ltmsCreated;
    std::unique_ptr<DataList> entryNames;
    std::unique_ptr<Prices> prices;
    std::unique_ptr<RecordFilter_byConnectionName> filter;
    std::unique_ptr<TodayTotals> todayTotals;
    int chartWidth = 0;
    std::string logFileName;
    std::unique_ptr<LTOptions> options;
    // Every connection with a budget: summed again when the prices change,
    // followed when the budgets' settings file changes.
    std::unique_ptr<BudgetWatch> budgets;
    void reloadBudgets();
    void budgetSettingsChanged();

    // Handlers.
    void TimerTimer();
    void HideTimerTimer();
    void pbChartDblClick();
    void actShowExecute();
    void actHideExecute();
    void actShowHideExecute();
    void actShutdownExecute();
    void actTotalsExecute();
    void actPricesExecute();
    void actOptionsExecute();
    void actAboutExecute();
    void sbConMenuClick();
    void ConMenuItemClick(QAction* item);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createComponents();
    void createActions();
    void collectEntryNames(RasProvider& ras);
    void copyShowHideFrom(const QAction* action);
    void trace(const std::string& message);
    bool canHide() const;
    // At the bottom right corner; stored only once the frame is known.
    void placeAtCorner(bool store);
    void followSeen();
    // Tells the user when the live table finds no service at start, loses
    // it, or finds it again.
    void followService();
    // Through the tray, else in a box.
    void tellUser(const QString& message, QSystemTrayIcon::MessageIcon icon = QSystemTrayIcon::Information);
    // Runs a call of the budget watch, telling what it throws.
    void guardBudgets(const std::function<void()>& call);
    // The budget levels newly reached: through the desktop's notification
    // service, else as tellUser does.
    void followBudgets();
    // A damaged region of the log, told once a run.
    void tellDamage(const LTDataCorruptedException& damage);
    void tellNewDamage();
    // What the user must hear in a box: gathered, then shown in one.
    void tell(const QString& message, bool error);
    void scheduleNotices();
    void showNotices();

    DbgLogger* dbgLogger;
    TMainForm2* MainForm2 = nullptr;
    TSplashFrm* SplashFrm = nullptr;
    QStringList notices;
    bool noticesHaveError = false;
    bool noticeBoxOpen = false;
    ToldDamage toldDamage;
    // Damage read and not told yet.
    DamageNotices newDamage;
    // The corner position was chosen before the window had its frame.
    bool placeOnceFramed = false;
    // Whether a service owned the live table at the last tick; none yet.
    std::optional<bool> serviceRunning;
    bool serviceHasRun = false;
    // The budgets' folder: ltreport budget --set and the dialog write there.
    QFileSystemWatcher* budgetFiles = nullptr;
    // The chart's pixels, kept between paints to save an allocation a tick.
    QImage chartImage;
    std::vector<int> chartStarts;
};
