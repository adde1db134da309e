#include "ui/monitor_main.h"

#include "common/common.h"
#include "common/dbglogger.h"
#include "common/ltassert.h"
#include "model/budgetstore.h"
#include "model/budgetwatch.h"
#include "model/contrace.h"
#include "model/datamodel.h"
#include "model/optionsmodel.h"
#include "model/sharedstatreader.h"
#include "model/todaytot.h"
#include "model/viewformat.h"
#include "platform/environment.h"
#include "platform/named_lock.h"
#include "platform/ras.h"
#include "platform/service_control.h"
#include "ui/desktopnotifier.h"
#include "ui/guicommon.h"
#include "ui/linktally_mainFrm.h"
#include "ui/optionsform.h"
#include "ui/PriceEditorFrm.h"
#include "ui/splash.h"
#include "ui/windowmanager.h"

#include <QAction>
#include <QCloseEvent>
#include <QCursor>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QScopeGuard>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>

namespace {

constexpr int CLIENT_WIDTH = 245;
constexpr int CLIENT_HEIGHT = 64;
constexpr int NIM_ADD = 0;
constexpr int NIM_MODIFY = 1;
constexpr int NIM_DELETE = 2;
constexpr int TRAY_TIP_LENGTH = 127;

QString text(const std::string& s) { return QString::fromStdString(s); }

QIcon trayImage()
{
    std::map<int, QString> files;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        files[size] = QString(":/icons/linktally-%1.png").arg(size);
    return QIcon(new TSizedIconEngine(std::move(files)));
}

// The first row of a chart column that the foreground colour paints, for
// a column of height y on a canvas of height H. The column is drawn as two
// lines, as on the original desktop: from the top to (H - y - 1) in the
// background colour, then on to the bottom row in the foreground colour,
// and a line never paints its end point. So the bottom row stays as it
// was, a column of height 0 paints no foreground, and one of height H
// paints foreground from the top row on.
int foregroundStart(int y, int H) { return std::max(0, H - y - 1); }

// A connection's name as a menu shows it: a long one (a container's or a
// VPN's made-up name) cut at about 60 characters, so that the menu keeps
// to a sensible width.
QString menuText(const QString& name)
{
    constexpr int MENU_TEXT_LENGTH = 60;
    if (name.size() <= MENU_TEXT_LENGTH)
        return name;
    int keep = MENU_TEXT_LENGTH - 1;
    if (name.at(keep - 1).isHighSurrogate())
        --keep;
    return name.left(keep) + QChar(0x2026);
}

} // namespace

TMainForm::TMainForm(RasProvider& ras, DbgLogger* dbgLogger, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      dbgLogger(dbgLogger)
{
    setObjectName("MainForm");
    isTrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    runPrices = [](Prices* table, QWidget* parent) { return runPriceEditor(table, parent); };
    notifyDesktop = [](const QString& summary, const QString& body, bool critical) {
        return DesktopNotifier().notify(summary, body, critical);
    };
    createComponents();
    createActions();

    ltMonitorState = ltmsCreated;
    logFileName = monitor::getConnectionLogFile();
    newDamage = DamageNotices(&toldDamage, logFileName);
    // The names, the prices read right after them, and "<DUMMY CONNECTION>"
    // when nothing names a connection.
    collectEntryNames(ras);
    options = std::make_unique<LTOptions>(entryNames.get());
    filter = std::make_unique<RecordFilter_byConnectionName>(entryNames.get(), options->getConnectionId());
    todayTotals = std::make_unique<TodayTotals>(logFileName, prices.get(), entryNames.get(),
                                                [this](const LTDataCorruptedException& e) { tellDamage(e); });
    budgets = std::make_unique<BudgetWatch>(logFileName, prices.get(), entryNames.get());
    reloadBudgets();
    guardBudgets([this] {
        budgetFiles = new QFileSystemWatcher(this);
        budgetFiles->addPath(QFileInfo(QString::fromStdString(BudgetStore().filePath())).absolutePath());
        connect(budgetFiles, &QFileSystemWatcher::directoryChanged, this,
                guarded([this] { budgetSettingsChanged(); }));
    });
    chartWidth = pbChart->width();
    sharedStat = std::make_unique<SharedStatisticsReader>();
    tracer = std::make_unique<ConnectionsTracer>(chartWidth + 2);
    pbChart->setToolTip(text(options->getConnectionName()));
    restorePosition();
    applyTransparency();
    setWindowTitle(QString::fromUtf8(MONITOR_WINDOW_TITLE));
}

TMainForm::~TMainForm()
{
    notifyTrayIcon(NIM_DELETE);
}

void TMainForm::createComponents()
{
    setFixedSize(CLIENT_WIDTH, CLIENT_HEIGHT);
    setToolTipDuration(-1);
    QFont meterFont = font();
    // Small enough that "S/R: 999.99/999.99 Mb" fits its panel of 115.
    meterFont.setPointSize(7);
    setFont(meterFont);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(0, 0, 33, 41);
    Image1->setPixmap(trayImage().pixmap(32, 32));

    panelChart = new QFrame(this);
    panelChart->setObjectName("panelChart");
    panelChart->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panelChart->setLineWidth(1);
    panelChart->setGeometry(0, 0, CLIENT_WIDTH, CLIENT_HEIGHT - BOTTOM_HEIGHT);

    pbChart = new TPaintBox(panelChart);
    pbChart->setObjectName("pbChart");
    pbChart->setGeometry(1, 1, CLIENT_WIDTH - 2, CLIENT_HEIGHT - BOTTOM_HEIGHT - 2);
    pbChart->setContextMenuPolicy(Qt::CustomContextMenu);
    // The chart paints its own background, so the panel need not paint
    // beneath it first. The pixels a trace's columns leave (the bottom row,
    // the columns beyond chartWidth) show the panel's colour as they would;
    // without a trace the chart fills the whole box.
    pbChart->setAttribute(Qt::WA_OpaquePaintEvent);
    pbChart->onPaint = [this](QPainter& canvas) {
        const int W = pbChart->width(), H = pbChart->height();
        const QBrush panel = panelChart->palette().window();
        canvas.fillRect(0, H - 1, W, 1, panel);
        canvas.fillRect(chartWidth, 0, W - chartWidth, H, panel);
        drawChart(canvas, W, H);
    };
    pbChart->onDblClick = guarded([this] { pbChartDblClick(); });

    pBottom = new QWidget(this);
    pBottom->setObjectName("pBottom");
    pBottom->setGeometry(0, CLIENT_HEIGHT - BOTTOM_HEIGHT, CLIENT_WIDTH, BOTTOM_HEIGHT);

    StatusBar = new TStatusBar(pBottom, {{"S/R: 0/0 Mb", 115, Qt::AlignLeft},
                                         {"Costs: ?", 70, Qt::AlignLeft},
                                         {"", 50, Qt::AlignRight}});
    StatusBar->setObjectName("StatusBar");
    StatusBar->setGeometry(0, 0, 226, BOTTOM_HEIGHT);

    sbConMenu = new QToolButton(pBottom);
    sbConMenu->setObjectName("sbConMenu");
    sbConMenu->setGeometry(229, 3, 15, 15);
    sbConMenu->setIcon(QIcon(":/icons/conmenu.png"));
    sbConMenu->setIconSize(QSize(11, 11));
    sbConMenu->setAutoRaise(true);
    sbConMenu->setToolTip("Select Connection");
    connect(sbConMenu, &QToolButton::clicked, this, guarded([this] { sbConMenuClick(); }));

    Timer = new QTimer(this);
    Timer->setObjectName("Timer");
    Timer->setInterval(1000);
    connect(Timer, &QTimer::timeout, this, guarded([this] { TimerTimer(); }));
    HideTimer = new QTimer(this);
    HideTimer->setObjectName("HideTimer");
    HideTimer->setInterval(200);
    connect(HideTimer, &QTimer::timeout, this, guarded([this] { HideTimerTimer(); }));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    connect(pbChart, &QWidget::customContextMenuRequested, this,
            guarded([this](const QPoint& at) { PopupMenu1->popup(pbChart->mapToGlobal(at)); }));

    pmConMenu = new QMenu(this);
    pmConMenu->setObjectName("pmConMenu");
    pmConMenu->setToolTipsVisible(true); // the whole of a name cut short
    connect(pmConMenu, &QMenu::triggered, this, guarded([this](QAction* item) { ConMenuItemClick(item); }));
}

void TMainForm::createActions()
{
    ImageList = new QObject(this);
    ImageList->setObjectName("ImageList");
    const QIcon images[] = {QIcon(":/icons/exit.png"), QIcon(":/icons/totals.png")};

    ActionList = new QObject(this);
    ActionList->setObjectName("ActionList");
    actHide = newAction(ActionList, "actHide", "Hide Monitor", "Hide Linktally Monitor");
    actShow = newAction(ActionList, "actShow", "Show Monitor", "Show Linktally Monitor");
    actShutdown = newAction(ActionList, "actShutdown", "Exit", "Exit Linktally Monitor");
    actShutdown->setIcon(images[0]);
    actShowHide = newAction(ActionList, "actShowHide", "", "");
    copyShowHideFrom(actShow); // hidden from the start
    actTotals = newAction(ActionList, "actTotals", "Totals", "Totals");
    actTotals->setIcon(images[1]);
    actOptions = newAction(ActionList, "actOptions", "Options", "Options");
    actPrices = newAction(ActionList, "actPrices", "Costs", "Costs");
    actAbout = newAction(ActionList, "actAbout", "About", "About");

    connect(actHide, &QAction::triggered, this, guarded([this] { actHideExecute(); }));
    connect(actShow, &QAction::triggered, this, guarded([this] { actShowExecute(); }));
    connect(actShutdown, &QAction::triggered, this, guarded([this] { actShutdownExecute(); }));
    connect(actShowHide, &QAction::triggered, this, guarded([this] { actShowHideExecute(); }));
    connect(actTotals, &QAction::triggered, this, guarded([this] { actTotalsExecute(); }));
    connect(actOptions, &QAction::triggered, this, guarded([this] { actOptionsExecute(); }));
    connect(actPrices, &QAction::triggered, this, guarded([this] { actPricesExecute(); }));
    connect(actAbout, &QAction::triggered, this, guarded([this] { actAboutExecute(); }));

    PopupMenu1->addAction(actTotals);
    PopupMenu1->addAction(actPrices);
    PopupMenu1->addAction(actOptions);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(actAbout);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(actShowHide);
    PopupMenu1->addAction(actShutdown);
    connect(PopupMenu1, &QMenu::aboutToShow, this, guarded([this] {
        // Minimised or on another desktop since the last look.
        followSeen();
        actShowHide->setEnabled(!isSeen() || canHide());
    }));
}

void TMainForm::attach(TMainForm2* totals, TSplashFrm* splash)
{
    MainForm2 = totals;
    if (MainForm2) {
        MainForm2->budgets = budgets.get();
        MainForm2->budgetsChanged = [this] { budgetSettingsChanged(); };
    }
    if (totals)
        totals->toldDamage = &toldDamage;
    SplashFrm = splash;
}

void TMainForm::collectEntryNames(RasProvider& ras)
{
    entryNames = std::make_unique<DataList>();
    prices = std::make_unique<Prices>(entryNames.get());
    // The interfaces, the log and the phone book, then the prices (whose
    // load registers its names too). An interface library that cannot be
    // loaded ends the start-up with its message.
    std::string priceError;
    loadEntryNamesAndPrices(
        ras, *entryNames, *prices, logFileName, monitor::getDataFolder() + "/" + PRICE_FILE_NAME, true,
        [this](const LTDataCorruptedException& e) { newDamage.add(e); }, &priceError);
    if (!priceError.empty()) {
        // Start with no prices, as a missing file would; the user hears why
        // every cost reads "?", and the file is kept aside before any save.
        prices->clear();
        tell(text(priceError + "\nCosts stay unknown until the price table is fixed or saved anew."), true);
    }
}

void TMainForm::startMonitor()
{
    updateModel();
    ltMonitorState = ltmsRunning;
    if (SplashFrm) {
        SplashFrm->spotsEnabled = true;
        SplashFrm->HideTimer->start();
    }
    updateStatus();
    HideTimer->start();
    Timer->start();
    notifyTrayIcon(NIM_ADD);
    if (!notifyTrayIcon(NIM_MODIFY)) {
        notifyTrayIcon(NIM_ADD);
        notifyTrayIcon(NIM_MODIFY);
    }
    trace("TMainForm::startMonitor() - tray icon added\n");
    // Without a tray the meter is the only way in: it stays on screen.
    if (!canHide())
        actShowExecute();
    tellNewDamage();
    scheduleNotices();
}

void TMainForm::updateModel()
{
    sharedStat->refresh();
    tracer->update(*sharedStat);
    for (std::uint32_t i = 0; i < sharedStat->size(); ++i)
        entryNames->idOf(sharedStat->getName(i));
    try {
        todayTotals->update(sharedStat->changed);
    } catch (const LTDataCorruptedException& e) {
        tellDamage(e); // read past already
    }
    guardBudgets([this] { budgets->update(sharedStat->changed, Now()); });
    if (MainForm2 && MainForm2->isVisible())
        MainForm2->refreshTotals(sharedStat->changed);
    sharedStat->changed = false;
}

void TMainForm::updateStatus()
{
    LT_ASSERT_TEXT(ltMonitorState == ltmsRunning, "ltMonitorState == ltmsRunning");
    const Total4Period t = todayTotals->getTotals(*filter, *sharedStat);
    const std::string traffic = statusTrafficText(t);
    const std::string costs = statusCostsText(t);
    const std::string online = statusOnlineText(isConnectionOnline());
    StatusBar->setPanelText(0, text(traffic));
    StatusBar->setPanelText(1, text(costs));
    StatusBar->setPanelText(2, text(online));
    // Painted with the status panels in one flush of the window.
    pbChart->update();
    trace("TMainForm::updateStatus() - " + traffic + "; " + costs + "; " + online + "\n");
}

bool TMainForm::isConnectionOnline()
{
    if (ltMonitorState != ltmsRunning)
        return false;
    const std::string& name = entryNames->nameOf(filter->getConnectionId());
    if (name.empty())
        return false;
    const int index = tracer->indexOf(name.c_str());
    return index >= 0 && tracer->trace(index).getMissingCount() == 0;
}

void TMainForm::drawChart(QPainter& canvas, int W, int H)
{
    const ConnectionTrace* ct = nullptr;
    if (ltMonitorState == ltmsRunning) {
        const std::string name = options->getConnectionName();
        const int index = name.empty() ? -1 : tracer->indexOf(name.c_str());
        if (index >= 0)
            ct = &tracer->trace(index);
    }
    const QColor background = colorFromValue(options->getChartBG());
    if (!ct) {
        canvas.fillRect(0, 0, W, H, background);
        return;
    }
    const QColor foreground = colorFromValue(options->getChartFG());
    const int columns = ct->getVisibleTrackLength(); // chartWidth, whatever W is
    const int rows = H - 1;                          // the bottom row is never painted
    if (columns <= 0 || rows <= 0)
        return;
    chartStarts.resize(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i) {
        const std::uint32_t traffic = ct->getTraffic(i);
        int y = 0;
        if (traffic != 0) {
            LT_ASSERT_TEXT(traffic <= ct->getMaxTraffic(), "traffic <= ct->getMaxTraffic()");
            LT_ASSERT_TEXT(ct->getMaxTraffic() > 0, "ct->getMaxTraffic() > 0");
            y = static_cast<int>(std::floor(double(traffic) / double(ct->getMaxTraffic()) * H));
        }
        chartStarts[static_cast<std::size_t>(i)] = traffic == 0 ? rows : foregroundStart(y, H);
    }
    // Composed in an image and drawn at once: one rectangle per column
    // would cost the painter ten times as much every second.
    if (chartImage.width() != columns || chartImage.height() != rows)
        chartImage = QImage(columns, rows, QImage::Format_RGB32);
    const QRgb bg = background.rgb(), fg = foreground.rgb();
    for (int row = 0; row < rows; ++row) {
        auto* line = reinterpret_cast<QRgb*>(chartImage.scanLine(row));
        for (int i = 0; i < columns; ++i)
            line[i] = row < chartStarts[static_cast<std::size_t>(i)] ? bg : fg;
    }
    canvas.drawImage(0, 0, chartImage);
}

void TMainForm::selectConnection(int newConnectionId)
{
    LT_ASSERT_TEXT(newConnectionId < (int)entryNames->size(), "newConnectionId < (int) entryNames->size()");
    options->setConnectionId(newConnectionId);
    filter->setConnectionId(newConnectionId);
    pbChart->setToolTip(text(options->getConnectionName()));
    if (MainForm2)
        MainForm2->filterChanged();
}

void TMainForm::restorePosition()
{
    int x = 0, y = 0;
    options->getScreenPos(x, y);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    placeOnceFramed = !(screen.width() >= x + 20 && screen.height() >= y + 30);
    if (placeOnceFramed)
        placeAtCorner(false);
    else
        move(x, y);
}

void TMainForm::placeAtCorner(bool store)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QSize outer = frameGeometry().size();
    const int x = screen.width() - outer.width();
    const int y = screen.height() - outer.height() - 30;
    move(x, y);
    if (store)
        options->setScreenPos(x, y);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    // The window manager's frame is known once the window is on screen:
    // the corner placed before it counted a bare window.
    if (watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed()) {
        windowHandle()->removeEventFilter(this);
        if (placeOnceFramed) {
            placeOnceFramed = false;
            placeAtCorner(true);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TMainForm::applyTransparency()
{
    LT_ASSERT_TEXT(options, "options");
    // Without a compositing window manager the window simply stays opaque.
    setWindowOpacity(options->isTransparent() ? options->getAlpha() / 255.0 : 1.0);
}

bool TMainForm::notifyTrayIcon(int message)
{
    switch (message) {
    case NIM_ADD:
        if (!trayIcon) {
            trayIcon = new QSystemTrayIcon(this);
            trayIcon->setObjectName("TrayIcon");
            connect(trayIcon, &QSystemTrayIcon::activated, this, guarded([this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    actShowHideExecute(); // also while the menu has greyed it
                } else if (reason == QSystemTrayIcon::Context) {
                    activateWindow();
                    PopupMenu1->popup(QCursor::pos());
                }
            }));
        }
        return true;
    case NIM_MODIFY:
        if (!trayIcon)
            return false;
        trayIcon->setIcon(trayImage());
        trayIcon->setToolTip(QString::fromUtf8(APPLICATION_TITLE).left(TRAY_TIP_LENGTH));
        // Shown also without a tray: Qt embeds it when one appears.
        trayIcon->show();
        return true;
    case NIM_DELETE:
        delete trayIcon;
        trayIcon = nullptr;
        return true;
    default:
        return false;
    }
}

void TMainForm::TimerTimer()
{
    LT_ASSERT_TEXT(ltMonitorState == ltmsRunning, "ltMonitorState == ltmsRunning");
    updateModel();
    updateStatus();
    followService();
    followBudgets();
    // A tray that went away would leave a hidden meter out of reach.
    if (!isVisible() && !canHide())
        actShowExecute();
}

void TMainForm::HideTimerTimer()
{
    if (isVisible() && canHide())
        hide();
    HideTimer->stop();
}

void TMainForm::pbChartDblClick()
{
    if (actTotals->isEnabled())
        actTotals->trigger();
}

void TMainForm::copyShowHideFrom(const QAction* action)
{
    actShowHide->setText(action->text());
    actShowHide->setToolTip(action->toolTip());
    actShowHide->setStatusTip(action->statusTip());
}

void TMainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Before the window is mapped: the manager reads the hints then.
    windowmanager::requestToolWindow(*this);
    if (placeOnceFramed && windowHandle())
        windowHandle()->installEventFilter(this);
    followSeen();
    trace("TMainForm::FormShow() - shown\n");
}

void TMainForm::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    followSeen();
    options->setScreenPos(x(), y());
    trace("TMainForm::FormHide() - hidden\n");
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    Timer->stop();
    QWidget::closeEvent(event);
    // The meter is the main window: closing it ends the program.
    QCoreApplication::quit();
}

void TMainForm::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        followSeen();
}

bool TMainForm::isSeen() const
{
    return isVisible() && !isMinimized() && windowmanager::isOnCurrentDesktop(*this);
}

void TMainForm::followSeen() { copyShowHideFrom(isSeen() ? actHide : actShow); }

void TMainForm::actShowExecute()
{
    // A meter minimised or left on another desktop comes back as a hidden
    // one does: in its normal state, here, on top.
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    windowmanager::moveToCurrentDesktop(*this);
    raise();
    followSeen();
}

bool TMainForm::canHide() const
{
    // Without a tray nothing could bring a hidden meter back.
    return isTrayAvailable();
}

void TMainForm::actHideExecute()
{
    if (canHide())
        hide();
}

void TMainForm::actShowHideExecute()
{
    if (isSeen())
        actHide->trigger();
    else
        actShow->trigger();
}

void TMainForm::actShutdownExecute() { close(); }

void TMainForm::actTotalsExecute()
{
    if (!MainForm2 || MainForm2->isVisible())
        return;
    MainForm2->prepare(prices.get(), entryNames.get(), filter.get(), todayTotals.get(), sharedStat.get());
    MainForm2->show();
}

void TMainForm::actPricesExecute()
{
    // The tray's menu stays open to a dialog's modality: one editor of the
    // table at a time.
    if (QApplication::activeModalWidget())
        return;
    Prices copy(*prices);
    if (!runPrices(prices.get(), this)) {
        *prices = copy;
        return;
    }
    // The confirmed table is the one in use, saved or not.
    reloadBudgets();
    try {
        prices->save(monitor::getDataFolder() + "/" + PRICE_FILE_NAME);
    } catch (...) {
        if (MainForm2)
            MainForm2->pricesChanged();
        throw;
    }
    if (MainForm2)
        MainForm2->pricesChanged();
}

void TMainForm::guardBudgets(const std::function<void()>& call)
{
    try {
        call();
    } catch (const LTDataCorruptedException& e) {
        tellDamage(e); // read past already
    } catch (const LTException& e) {
        tell(text(e.what()), true);
        scheduleNotices();
    }
}

void TMainForm::reloadBudgets()
{
    guardBudgets([this] { budgets->reload(Now()); });
}

void TMainForm::budgetSettingsChanged()
{
    guardBudgets([this] { budgets->settingsChanged(Now()); });
    if (MainForm2 && MainForm2->isVisible())
        MainForm2->refreshTotals(false);
}

void TMainForm::actOptionsExecute()
{
    if (QApplication::activeModalWidget())
        return;
    runOptionsDialog(entryNames.get(), options.get(), this);
    selectConnection(options->getConnectionId());
    applyTransparency();
    updateStatus();
}

void TMainForm::actAboutExecute()
{
    if (SplashFrm && !SplashFrm->isVisible())
        SplashFrm->show();
}

void TMainForm::sbConMenuClick()
{
    pmConMenu->clear();
    for (int i = 0; i < entryNames->size(); ++i) {
        // A '&' in a name is a letter, not a mnemonic.
        const QString name = text(entryNames->nameOf(i));
        QAction* item = pmConMenu->addAction(menuText(name).replace("&", "&&"));
        if (menuText(name) != name)
            item->setToolTip(name);
        item->setData(i);
        item->setCheckable(true);
        item->setChecked(i == options->getConnectionId());
    }
    pmConMenu->popup(sbConMenu->mapToGlobal(QPoint(0, 0)));
}

void TMainForm::ConMenuItemClick(QAction* item)
{
    bool isTag = false;
    const int id = item ? item->data().toInt(&isTag) : -1;
    if (!isTag || id == options->getConnectionId())
        return;
    selectConnection(id);
    updateStatus();
}

void TMainForm::tellDamage(const LTDataCorruptedException& damage)
{
    newDamage.add(damage);
    if (ltMonitorState == ltmsRunning) {
        tellNewDamage();
        scheduleNotices();
    }
}

void TMainForm::tellNewDamage()
{
    if (newDamage.empty())
        return;
    tell(newDamage.lines().join("\n\n"), true);
    newDamage = DamageNotices(&toldDamage, logFileName);
}

void TMainForm::followService()
{
    const bool running = sharedStat->hasService();
    if (serviceRunning == running)
        return;
    const bool atStart = !serviceRunning;
    serviceRunning = running;
    if (running && atStart) {
        serviceHasRun = true;
        return;
    }
    if (running) {
        tellUser(serviceHasRun ? "The Linktally service runs again: the meter shows live traffic."
                               : "The Linktally service now runs: the meter shows live traffic.");
        serviceHasRun = true;
        return;
    }
    const std::string advice = platform::serviceStartAdvice(platform::runningProgramPath());
    if (atStart)
        tellUser(text("No Linktally service is running: nothing is metered or logged, and the meter stays "
                      "Offline.\n" + advice));
    else
        tellUser(text("The Linktally service has stopped: nothing is metered or logged until it runs again.\n" +
                      advice));
}

void TMainForm::tellUser(const QString& message, QSystemTrayIcon::MessageIcon icon)
{
    trace("TMainForm - told: " + message.toStdString() + "\n");
    if (trayIcon && canHide())
        trayIcon->showMessage(QString::fromUtf8(APPLICATION_TITLE), message, icon);
    else
        tell(message, false);
    scheduleNotices();
}

void TMainForm::followBudgets()
{
    std::string saveError;
    for (const BudgetAlert& alert : budgets->newAlerts(*sharedStat, Now(), saveError)) {
        const QString body = text(alert.text);
        const bool critical = alert.level == 100;
        if (notifyDesktop(QString::fromUtf8(APPLICATION_TITLE), body, critical))
            trace("TMainForm - notified: " + alert.text + "\n");
        else
            tellUser(body, critical ? QSystemTrayIcon::Critical : QSystemTrayIcon::Warning);
    }
    if (!saveError.empty())
        tell(text(saveError), true);
    scheduleNotices();
}

void TMainForm::tell(const QString& message, bool error)
{
    notices << message;
    noticesHaveError = noticesHaveError || error;
}

void TMainForm::scheduleNotices()
{
    // Not from inside a tick's model update, and not before the meter runs.
    if (ltMonitorState == ltmsRunning && !notices.isEmpty())
        QTimer::singleShot(0, this, guarded([this] { showNotices(); }));
}

void TMainForm::showNotices()
{
    // Timers go on while a box is open: what they find waits for the next
    // box, shown when this one closes.
    if (noticeBoxOpen)
        return;
    noticeBoxOpen = true;
    const auto closed = qScopeGuard([this] { noticeBoxOpen = false; });
    while (!notices.isEmpty()) {
        const QString message = notices.join("\n\n");
        const bool error = noticesHaveError;
        notices.clear();
        noticesHaveError = false;
        if (error)
            MessageBox::showError(this, message);
        else
            MessageBox::showNotice(this, message);
    }
}

void TMainForm::trace(const std::string& message)
{
    if (dbgLogger)
        dbgLogger->log(message);
}
