// ltmonitor: the tray program with the live meter. Its start-up: the
// options, the display, one instance per session, the windows in their
// order, the splash, the meter, the message loop.
#include "common/common.h"
#include "common/dbglogger.h"
#include "errors/ltexception.h"
#include "platform/environment.h"
#include "platform/named_lock.h"
#include "platform/named_objects.h"
#include "platform/ras.h"
#include "ui/guicommon.h"
#include "ui/linktally_mainFrm.h"
#include "ui/monitor_main.h"
#include "ui/splash.h"

#include <QIcon>
#include <QTimer>

#include <iostream>
#include <malloc.h>
#include <memory>
#include <string>

namespace {

const char* const USAGE = "Usage: ltmonitor [--debug-log] [--help] [--version]\n"
                          "Linktally's tray program: the live meter, today's costs, totals and prices.\n"
                          "  --debug-log   write each status update to debug.log in your data folder\n"
                          "  --help        show this text\n"
                          "  --version     show the program's name and version\n";

struct Arguments {
    bool debugLog = false;
    bool help = false;
    bool version = false;
    std::string unknown;
};

Arguments parseArguments(const QStringList& arguments)
{
    Arguments args;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const std::string arg = arguments[i].toStdString();
        if (arg == "--debug-log")
            args.debugLog = true;
        else if (arg == "--help" || arg == "-h")
            args.help = true;
        else if (arg == "--version")
            args.version = true;
        else if (args.unknown.empty())
            args.unknown = arg;
    }
    return args;
}

// A Wayland client can neither place itself nor stay on top: where X is
// there too (XWayland), the meter runs on it.
bool chooseDisplay(const QStringList& arguments)
{
    if (platform::variable("QT_QPA_PLATFORM") || arguments.contains("-platform") || arguments.contains("-display"))
        return true;
    if (!platform::variableOr("DISPLAY", "").empty()) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        return true;
    }
    return !platform::variableOr("WAYLAND_DISPLAY", "").empty();
}

void showStartupError(const QString& message)
{
    std::cerr << "ltmonitor: " << message.toStdString() << "\n";
    MessageBox::showError(nullptr, message);
}

int runMonitor(MonitorApplication& app, const Arguments& args)
{
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
    initNullDaclSecurity(descriptor, attributes);
    platform::makeMissingIpcFolder();
    platform::InstanceLock instance(MONITOR_INSTANCE_NAME, &attributes);
    if (instance.alreadyExists())
        throw LTException(std::string(APPLICATION_TITLE) + " is already running!");
    if (!instance.isHeld())
        throw LTException("Can't create 'Event' object", instance.lastError());

    std::unique_ptr<DbgLogger> dbgLogger;
    if (args.debugLog)
        dbgLogger = std::make_unique<DbgLogger>(monitor::getDataFolder() + "/" + DEBUG_LOG_FILE_NAME);
    const std::unique_ptr<RasProvider> ras = makeSystemRasProvider();

    // Created in this order; the meter, first, is the main window.
    TMainForm mainForm(*ras, dbgLogger.get());
    TMainForm2 mainForm2;
    TSplashFrm splashFrm;
    mainForm.attach(&mainForm2, &splashFrm);
    mainForm.setWindowIcon(QApplication::windowIcon());

    splashFrm.loadSplash();
    splashFrm.show();
    // The window is mapped by the event loop: let it be, then paint.
    QCoreApplication::processEvents();
    splashFrm.repaint();
    splashFrm.HideTimer->setInterval(1500);
    // What start-up read and built (the log's records, the splash's pixels)
    // is freed by then, mostly between blocks still in use: handed back to
    // the system, not kept for the rest of a long run.
    QObject::connect(splashFrm.HideTimer, &QTimer::timeout, [] { QTimer::singleShot(0, [] { malloc_trim(0); }); });
    mainForm.startMonitor();
    return app.exec();
}

} // namespace

int main(int argc, char** argv)
{
    // Help and version need no display; everything else is read once Qt has
    // taken its own options (-display, -platform, a session manager's -session).
    const QStringList given(argv, argv + argc);
    const Arguments early = parseArguments(given);
    if (early.help) {
        std::cout << USAGE;
        return 0;
    }
    if (early.version) {
        std::cout << versionText("ltmonitor") << "\n";
        return 0;
    }
    if (!chooseDisplay(given)) {
        std::cerr << "ltmonitor: no display to show the meter on (DISPLAY and WAYLAND_DISPLAY are not set)\n";
        return 1;
    }
    MonitorApplication app(argc, argv);
    const Arguments args = parseArguments(QCoreApplication::arguments());
    if (!args.unknown.empty()) {
        std::cerr << "ltmonitor: unknown option '" << args.unknown << "'\n" << USAGE;
        return 2;
    }
    app.setApplicationName(QString::fromUtf8(APPLICATION_TITLE));
    app.setWindowIcon(QIcon(":/icons/linktally-64.png"));
    // Dialogs closing while the meter is hidden must not end the program;
    // closing the meter does.
    app.setQuitOnLastWindowClosed(false);
    try {
        return runMonitor(app, args);
    } catch (const std::exception& e) {
        showStartupError(QString::fromUtf8(e.what()));
    } catch (...) {
        showStartupError(QString());
    }
    // A failed start must not look like success.
    return 1;
}
