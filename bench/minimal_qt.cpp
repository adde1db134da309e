// The least a Qt Widgets meter can cost: one 245x64 window, shown, whose
// 243x43 child repaints once a second. bench/ltmonitor_usage.sh sets
// ltmonitor's CPU time, memory and start-up against it. It prints one line
// at its first paint, which marks the end of its start-up.
//
//   build/dev/bin/minimal_qt
#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

class Chart : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter canvas(this);
        canvas.fillRect(rect(), QColor(0xF0, 0xF0, 0xF0));
        // A moving column, so that every repaint changes pixels.
        canvas.fillRect(ticks % width(), height() / 3, 1, height() - height() / 3, QColor(0, 0x80, 0));
        ++ticks;
        if (ticks == 1) {
            std::fputs("minimal_qt: first paint\n", stdout);
            std::fflush(stdout);
        }
    }

private:
    int ticks = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint);
    window.setFixedSize(245, 64);
    window.setWindowTitle("minimal_qt");
    auto* chart = new Chart(&window);
    chart->setGeometry(1, 1, 243, 43);
    QTimer timer;
    timer.setInterval(1000);
    QObject::connect(&timer, &QTimer::timeout, chart, [chart] { chart->repaint(); });
    timer.start();
    window.show();
    return app.exec();
}
