// The splash window, also the About window: a picture from "splash.dll"
// with clickable spots that open their addresses.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

class QLabel;
class QTimer;

struct UrlSpot {
    int left, top, width, height;
    std::string url;
};

class TSplashFrm : public QWidget {
    Q_OBJECT
public:
    explicit TSplashFrm(QWidget* parent = nullptr);

    // Reads the picture and the spots from "splash.dll". Throws LTException.
    void loadSplash();

    QLabel* Image;
    QTimer* HideTimer;
    // Clicks and spots count only once the meter has started.
    bool spotsEnabled = false;

private:
    std::vector<UrlSpot> urlSpots;
    int currentSpot = -1;
};
