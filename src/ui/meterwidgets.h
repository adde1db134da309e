// The meter's own small controls: a box that paints through its owner and
// a status bar of fixed-width panels.
#pragma once

#include <QFrame>
#include <QWidget>

#include <functional>
#include <initializer_list>
#include <vector>

class QLabel;
class QPainter;

// The height of the meter's bottom row: its status bar and the connection
// button.
inline constexpr int BOTTOM_HEIGHT = 19;

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
    // Shows a panel's whole text, or where the panel is too narrow its
    // start and an ellipsis: a cut number must never read as another one.
    void showFitted(std::size_t index);

    std::vector<QLabel*> panels;
    std::vector<QString> texts; // whole, as set
};
