// The meter's own small controls: a box that paints through its owner, a
// status bar of fixed-width panels, and an icon drawn in many sizes.
#pragma once

#include <QFont>
#include <QFrame>
#include <QIcon>
#include <QIconEngine>
#include <QLabel>
#include <QStaticText>
#include <QWidget>

#include <functional>
#include <initializer_list>
#include <map>
#include <vector>

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

// A panel of the status bar: a sunken label whose text is laid out once a
// change and painted from that layout, where a label would shape it again
// at every paint.
class TStatusPanel : public QLabel {
    Q_OBJECT
public:
    TStatusPanel(const QString& text, QWidget* parent);
    // Shows the whole text, or where the panel is too narrow its start and
    // an ellipsis: a cut number must never read as another one.
    void fit(const QString& whole);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStaticText shaped;
};

// A status bar of fixed-width panels. While it is hidden a panel's text is
// only kept: it is fitted and laid out when the bar shows.
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
    void showEvent(QShowEvent* event) override;

private:
    void showFitted(std::size_t index);

    std::vector<TStatusPanel*> panels;
    std::vector<QString> texts;   // whole, as set
    std::vector<bool> unfitted;   // set while hidden, not fitted yet
};

// An icon of one square picture per size, each read when first asked for:
// a tray icon of eight sizes is painted at one or two of them, and all
// eight decoded would take 360 KB. It paints as an icon of all the files
// would: from the smallest picture at least as large as asked, else from
// the largest, scaled down to fit.
class TSizedIconEngine : public QIconEngine {
public:
    // The pictures by their side, in pixels.
    explicit TSizedIconEngine(std::map<int, QString> files) : files(std::move(files)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override { return new TSizedIconEngine(files); }
    bool isNull() override { return files.empty(); }

private:
    // The icon of the one picture that serves a size.
    QIcon& pictureFor(const QSize& size);

    std::map<int, QString> files;
    std::map<int, QIcon> read; // by side, as asked for
};
