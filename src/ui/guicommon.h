// What the windows share at the toolkit's boundary: the model's colour
// values as Qt colours and back, and the one way an error reaches the user.
#pragma once

#include "common/datetime.h"

#include <QApplication>
#include <QColor>
#include <QDate>
#include <QSize>
#include <QStringList>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <exception>
#include <functional>
#include <set>
#include <string>
#include <type_traits>
#include <utility>

class LTDataCorruptedException;
class QAction;
class QTableView;
class QToolBar;
class QToolButton;
class QWidget;

// A colour value of the model (0x00BBGGRR, or 0x80000000 | n for the
// system colour n, resolved through the application's palette).
QColor colorFromValue(std::uint32_t value);
// The model's value of a colour the user chose: always a plain 0x00BBGGRR.
std::uint32_t valueFromColor(const QColor& color);

// The model's days as the date pickers' dates and back.
QDate qDateFromDate(TDateTime date);
TDateTime dateFromQDate(const QDate& date);

// The locale's short date, but always with a four-digit year: two digits
// would not tell the century. The pickers' format and the lists' text.
QString shortDateFormat();
QString shortDateText(TDateTime date);

// A window's inner size for its designed outer size: the window manager's
// frame and title take 8 x 27 pixels of it.
QSize clientSizeFor(int outerWidth, int outerHeight);

// Places a window in the middle of its screen (dialogs would otherwise
// open over the meter in its corner).
void centreOnScreen(QWidget* window);

// The alignment of a list column's cells and head: numbers to the right.
QVariant columnAlignment(bool rightAligned);

// A tool bar of the windows' kind: fixed in place, of the height given,
// a border of 1 and 12 x 12 images.
QToolBar* newToolBar(QWidget* parent, const char* name, int height);

// The windows' controls were placed for a small font: 8 points.
void useDialogFont(QWidget* window);

// An action of a window's action list: its caption, its hint (tool tip and
// status tip) and, from the resources, its image.
QAction* newAction(QObject* list, const char* name, const char* caption, const char* hint,
                   const char* image = nullptr);
// A flat button at the end of the tool bar, driven by action, showing its
// 12 x 12 image.
QToolButton* newToolButton(QToolBar* bar, const char* name, QAction* action, QSize size);

// A list column's width: the designed one, unless the font needs more for
// the column's widest text, which is then shown whole.
int columnWidthFor(const QTableView* view, int designed, const QString& widestText);

// A read-only list in report style: whole rows selected one at a time,
// no row numbers, no grid, rows as high as a line of text.
void setUpReportView(QTableView* view);

// The background of a list's row, for a model's BackgroundRole: odd rows
// (1, 3, 5, ...) are painted light blue, 0xFFE3E4; even rows keep the
// list's own colour (an empty value).
QVariant highlightOddRow(int row);

// Error boxes. Tests answer them instead of a user: with a handler set,
// the message goes to it and no window opens.
class MessageBox {
public:
    using Handler = std::function<void(const QString& message)>;
    // Timers go on while a box is open, so a lasting fault would stack a
    // box a second: while one is open, further messages go to standard
    // error instead.
    static void showError(QWidget* parent, const QString& message);
    static void showError(QWidget* parent, const std::string& message) { showError(parent, QString::fromStdString(message)); }
    // The same for news that is no error.
    static void showNotice(QWidget* parent, const QString& message);
    // Replaces the box by handler until the returned value is destroyed.
    class Redirect {
    public:
        explicit Redirect(Handler handler);
        ~Redirect();
        Redirect(const Redirect&) = delete;
        Redirect& operator=(const Redirect&) = delete;
    private:
        Handler previous;
    };
private:
    static void show(QWidget* parent, const QString& message, bool error);
    // Both belong to the one user-interface thread; redirected is set by
    // tests only, through Redirect.
    static inline Handler redirected;
    static inline bool showing = false;
};

// The damaged regions of the log told so far in this run: every reader of
// the log meets them again, and the user hears of each once.
class ToldDamage {
public:
    // False when the region was told before.
    bool firstTime(const LTDataCorruptedException& damage);

private:
    std::set<std::pair<std::int64_t, std::int64_t>> regions;
};

// The damaged regions one read of the log met and not told before, in one
// message: the first few in full with the file and the place, the rest
// counted, and where to see them all.
class DamageNotices {
public:
    DamageNotices() = default;
    DamageNotices(ToldDamage* told, std::string logFile) : told(told), logFile(std::move(logFile)) {}
    void add(const LTDataCorruptedException& damage);
    bool empty() const { return shown.isEmpty() && more == 0; }
    QStringList lines() const;

private:
    static constexpr int MAX_SHOWN = 5;
    ToldDamage* told = nullptr;
    std::string logFile;
    QStringList shown;
    int more = 0;
};

// Shows what a handler threw, as the toolkit's default handler does: an
// exception's message, an empty message for anything else thrown.
void showException(std::exception_ptr thrown);

// Wraps a handler so that nothing it throws unwinds through the toolkit's
// frames (built without exception support): the error is shown and the
// program goes on.
template <class Handler> auto guarded(Handler handler)
{
    // Qt offers a slot all of a signal's arguments; a handler that takes
    // none is called without them.
    return [handler](auto&&... args) {
        try {
            if constexpr (std::is_invocable_v<const Handler&, decltype(args)...>)
                handler(std::forward<decltype(args)>(args)...);
            else
                handler();
        } catch (...) {
            showException(std::current_exception());
        }
    };
}

// The toolkit's default handler: an exception that escapes an event
// handler or a timer tick is shown in a message box and the program goes on.
class MonitorApplication : public QApplication {
public:
    MonitorApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
