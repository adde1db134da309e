#include "monitor/splash.h"

#include <QLabel>
#include <QTimer>

// Placeholder until the picture library is read.
TSplashFrm::TSplashFrm(QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool)
{
    setObjectName("SplashFrm");
    setWindowTitle("About");
    Image = new QLabel(this);
    Image->setObjectName("Image");
    HideTimer = new QTimer(this);
    HideTimer->setObjectName("HideTimer");
    HideTimer->setInterval(2500);
    HideTimer->setSingleShot(true);
    connect(HideTimer, &QTimer::timeout, this, &QWidget::hide);
    resize(243, 188);
}

void TSplashFrm::loadSplash() {}
