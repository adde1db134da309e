#include "ui/splash.h"

#include "ui/guicommon.h"

#include <iostream>

#include "common/ltassert.h"
#include "errors/ltexception.h"
#include "platform/dynlib.h"
#include "splashspots.h"
#include "ui/jpegimage.h"
#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QUrl>

TSplashFrm::TSplashFrm(QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
      openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{
    setObjectName("SplashFrm");
    setWindowTitle("About");

    Image = new QLabel(this);
    Image->setObjectName("Image");
    Image->move(0, 0);
    Image->setMouseTracking(true);
    Image->installEventFilter(this);

    HideTimer = new QTimer(this);
    HideTimer->setObjectName("HideTimer");
    HideTimer->setInterval(2500);
    HideTimer->setSingleShot(true);
    connect(HideTimer, &QTimer::timeout, this, guarded([this] { HideTimerTimer(); }));

    ActionList = new QObject(this);
    ActionList->setObjectName("ActionList");
    BrowseURL = new QAction("&Browse URL", ActionList);
    BrowseURL->setObjectName("BrowseURL");
    BrowseURL->setToolTip("Browse URL");
    BrowseURL->setStatusTip("Browse URL");
    BrowseURL->setProperty("category", "Internet");
    connect(BrowseURL, &QAction::triggered, this, guarded([this] {
        const QUrl url = BrowseURL->data().toUrl();
        // The desktop's own complaint goes to standard error only.
        if (!openUrl(url))
            MessageBox::showError(this, QString("No program on this desktop opens %1.\nOpen it yourself, or set a "
                                                "default program for it (xdg-mime).")
                                            .arg(url.toString()));
    }));

    resize(243, 188);
    centreOnScreen();
}

void TSplashFrm::loadSplash()
{
    platform::DynamicLibrary library;
    if (!library.load("splash.dll")) {
        // The message stays the program's own; the loader says which file
        // and why, for whoever reads the terminal.
        std::cerr << "ltmonitor: " << library.errorText() << "\n";
        throw LTException("Can't load splash.dll.", library.lastError());
    }
    std::vector<UrlSpot> spots = readSpots(library);
    loadSplashImage(library);
    urlSpots = std::move(spots);
    currentSpot = -1;
    setFixedSize(Image->size());
    centreOnScreen();
}

std::vector<UrlSpot> TSplashFrm::readSpots(platform::DynamicLibrary& library)
{
    const auto getSpotsCount = reinterpret_cast<GetSpotsCountFn>(library.symbol("_getSpotsCount"));
    if (!getSpotsCount)
        throw LTException("Can't locate _getSpotsCount()", library.lastError());
    const auto getSpots = reinterpret_cast<GetSpotsFn>(library.symbol("_getSpots"));
    if (!getSpots)
        throw LTException("Can't locate _getSpots()", library.lastError());

    const std::uint32_t count = getSpotsCount();
    const SplashSpotRecord* records = getSpots();
    if (count > 0 && !records)
        throw LTException("_getSpots() gave no array for " + std::to_string(count) + " spots");
    std::vector<UrlSpot> spots;
    spots.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const SplashSpotRecord& r = records[i];
        spots.push_back({r.left, r.top, r.width, r.height, r.url ? r.url : ""});
    }
    return spots;
}

void TSplashFrm::loadSplashImage(platform::DynamicLibrary& library)
{
    const auto where = library.findResource("SPLASH", "RCDATA");
    if (!where)
        throw LTException("Can't find SPLASH resource", library.lastError());
    const std::uint32_t size = library.sizeOfResource(*where);
    if (size == 0)
        throw LTException("Can't get size of a splash image", library.lastError());
    const auto loaded = library.loadResource(*where);
    if (!loaded)
        throw LTException("LoadResource call has failed.", library.lastError());
    const unsigned char* bytes = library.lockResource(*loaded);
    if (!bytes)
        throw LTException("LockResource call has failed.", library.lastError());

    // Decoded now, so that a damaged picture is told at start, and copied
    // before the library goes for the showings after a hide.
    const QImage picture = decodeJpeg(bytes, size, "The splash image");
    jpeg = QByteArray(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
    Image->setPixmap(QPixmap::fromImage(picture));
    Image->resize(picture.size());
}

void TSplashFrm::showPicture()
{
    if (jpeg.isEmpty() || !Image->pixmap().isNull())
        return;
    const auto* bytes = reinterpret_cast<const unsigned char*>(jpeg.constData());
    Image->setPixmap(QPixmap::fromImage(decodeJpeg(bytes, static_cast<std::size_t>(jpeg.size()), "The splash image")));
}

void TSplashFrm::centreOnScreen()
{
    if (const QScreen* screen = this->screen())
        move(screen->geometry().center() - rect().center());
}

void TSplashFrm::ImageMouseMove(int x, int y)
{
    if (!spotsEnabled)
        return;
    int hit = -1;
    for (std::size_t i = 0; i < urlSpots.size() && hit < 0; ++i) {
        const UrlSpot& s = urlSpots[i];
        if (s.left <= x && x < s.left + s.width && s.top <= y && y < s.top + s.height)
            hit = static_cast<int>(i);
    }
    setActiveSpot(hit);
}

void TSplashFrm::setActiveSpot(int i)
{
    if (i == currentSpot)
        return;
    LT_ASSERT_TEXT(i >= -1 && i < static_cast<int>(urlSpots.size()), "i >= -1 && i < (int) urlSpots.size()");
    currentSpot = i;
    Image->setCursor(i >= 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TSplashFrm::ImageClick()
{
    if (!spotsEnabled)
        return;
    if (currentSpot >= 0) {
        BrowseURL->setData(QUrl(QString::fromStdString(urlSpots[static_cast<std::size_t>(currentSpot)].url)));
        BrowseURL->trigger();
    }
    hide();
}

void TSplashFrm::HideTimerTimer()
{
    if (isVisible())
        hide();
    HideTimer->stop();
}

// The picture's events: moves to ImageMouseMove, a left-button release
// inside the picture (a click) to ImageClick.
bool TSplashFrm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != Image)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::MouseMove) {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        ImageMouseMove(at.x(), at.y());
    } else if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && Image->rect().contains(mouse->position().toPoint()))
            ImageClick();
    }
    return QWidget::eventFilter(watched, event);
}

void TSplashFrm::showEvent(QShowEvent* event)
{
    guarded([this] { showPicture(); })();
    QWidget::showEvent(event);
}

void TSplashFrm::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // Shown for seconds at start and on About only: hidden, the window
    // keeps the few kilobytes of the JPEG rather than its decoded pixels,
    // and gives up its native window with its backing store once the hide
    // is done (the next show makes them anew).
    Image->clear();
    QTimer::singleShot(0, this, [this] {
        if (!isVisible())
            destroy();
    });
    // About may show the window again under a resting mouse: no spot
    // stays active from before.
    if (currentSpot != -1)
        setActiveSpot(-1);
}
