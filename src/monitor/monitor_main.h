// ltmonitor's main routine and the meter window: the live traffic chart,
// today's megabytes and costs, Online/Offline, the tray icon and the menus
// that lead to every other window. The meter owns the monitor's models.
#pragma once

#include <QApplication>
#include <QFrame>
#include <QImage>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class ConnectionsTracer;
class DataList;
class DbgLogger;
class LTOptions;
class Prices;
class RasProvider;
class RecordFilter_byConnectionName;
class SharedStatisticsReader;
class TodayTotals;
class TMainForm2;
class TSplashFrm;
class QAction;
class QLabel;
class QMenu;
class QPainter;
class QSystemTrayIcon;
class QTimer;
class QToolButton;

// The toolkit's default handler: an exception that escapes an event
// handler or a timer tick is shown in a message box and the program goes on.
class MonitorApplication : public QApplication {
public:
    MonitorApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// A control that paints itself through its owner.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* parent) : QWidget(parent) {}
    std::function<void(QPainter&)> onPaint;
    std::function<void()> onDblClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// A status bar of fixed-width panels.
class TStatusBar : public QFrame {
    Q_OBJECT
public:
    struct PanelLayout {
        const char* text;
        int width;
        Qt::Alignment alignment;
    };
    TStatusBar(QWidget* parent, std::initializer_list<PanelLayout> panels);
    QString panelText(int index) const;
    void setPanelText(int index, const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::vector<QLabel*> panels;
};

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
    void applyTransparency();
    // 0 adds, 1 modifies, 2 deletes the tray icon; false when refused.
    bool notifyTrayIcon(int message);

    // What start-up found wrong but lived with (a damaged log, a price
    // table that did not load): told to the user once the meter runs.
    const QStringList& startupNotices() const { return notices; }

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

private:
    void createComponents();
    void createActions();
    void collectEntryNames(RasProvider& ras);
    void copyShowHideFrom(const QAction* action);
    void trace(const std::string& message);
    bool canHide() const;

    DbgLogger* dbgLogger;
    TMainForm2* MainForm2 = nullptr;
    TSplashFrm* SplashFrm = nullptr;
    QStringList notices;
    // The chart's pixels, kept between paints to save an allocation a tick.
    QImage chartImage;
    std::vector<int> chartStarts;
};

// The whole program: single instance, windows, splash, meter, message loop.
// 0 after a normal end, 1 after a start-up error.
int monitorMain(int argc, char** argv);
