// The splash window, also the About window: a picture from "splash.dll"
// with clickable spots that open their addresses.
#pragma once

#include <QByteArray>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QTimer;
class QUrl;

namespace platform {
class DynamicLibrary;
}

// One clickable rectangle, in picture pixels.
struct UrlSpot {
    int left, top, width, height;
    std::string url;
};

class TSplashFrm : public QWidget {
    Q_OBJECT
public:
    explicit TSplashFrm(QWidget* parent = nullptr);

    // Reads the picture and the spots from "splash.dll" and takes the
    // picture's size. Throws LTException; the library is unloaded in any case.
    void loadSplash();

    // The spot under the mouse at (x, y) of the picture becomes current.
    void ImageMouseMove(int x, int y);
    // Opens the current spot's address, if any, and hides the window.
    void ImageClick();
    void HideTimerTimer();
    void setActiveSpot(int i);

    QLabel* Image;
    QTimer* HideTimer;
    QObject* ActionList;
    QAction* BrowseURL;

    std::vector<UrlSpot> urlSpots;
    int currentSpot = -1;
    // Clicks and spots count only once the meter has started.
    bool spotsEnabled = false;
    // Hands an address to the user's browser; tests put a recorder here.
    std::function<bool(const QUrl&)> openUrl;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    static std::vector<UrlSpot> readSpots(platform::DynamicLibrary& library);
    void loadSplashImage(platform::DynamicLibrary& library);
    void centreOnScreen();
    // Decodes the picture again for a showing after a hide.
    void showPicture();

    QByteArray jpeg; // the picture as the library holds it
};
