#include "ui/guicommon.h"

#include "common/common.h"
#include "errors/ltexception.h"

#include <QApplication>
#include <QBrush>
#include <QFont>
#include <QAction>
#include <QHeaderView>
#include <QIcon>
#include <QLayout>
#include <QLocale>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTableView>
#include <QWidget>
#include <QMessageBox>
#include <QPalette>

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace {

constexpr std::uint32_t SYSTEM_COLOUR = 0x80000000;

// The system colour numbers of the original desktop, as far as Qt's
// palette has a counterpart; the rest fall back to the window colour.
QColor systemColor(std::uint32_t index)
{
    const QPalette palette = QApplication::palette();
    switch (index) {
    case 1: // desktop
    case 2: // active caption
    case 27: // active caption gradient
        return palette.color(QPalette::Active, QPalette::Highlight);
    case 3: // inactive caption
    case 28:
        return palette.color(QPalette::Inactive, QPalette::Highlight);
    case 5: // window
        return palette.color(QPalette::Base);
    case 6: // window frame
        return palette.color(QPalette::Shadow);
    case 8: // window text
        return palette.color(QPalette::Text);
    case 9: // caption text
    case 14: // highlight text
        return palette.color(QPalette::HighlightedText);
    case 13: // highlight
        return palette.color(QPalette::Highlight);
    case 16: // button shadow
        return palette.color(QPalette::Dark);
    case 17: // grey text
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 18: // button text
        return palette.color(QPalette::ButtonText);
    case 20: // button highlight
        return palette.color(QPalette::Light);
    case 23: // tooltip text
        return palette.color(QPalette::ToolTipText);
    case 24: // tooltip background
        return palette.color(QPalette::ToolTipBase);
    default: // 4 menu, 15 button face and the others
        return palette.color(QPalette::Window);
    }
}

} // namespace

QColor colorFromValue(std::uint32_t value)
{
    if (value & SYSTEM_COLOUR)
        return systemColor(value & 0xFF);
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

std::uint32_t valueFromColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return static_cast<std::uint32_t>(rgb.red()) | static_cast<std::uint32_t>(rgb.green()) << 8 |
           static_cast<std::uint32_t>(rgb.blue()) << 16;
}

QDate qDateFromDate(TDateTime date)
{
    int year, month, day;
    DecodeDate(date, year, month, day);
    return QDate(year, month, day);
}

TDateTime dateFromQDate(const QDate& date) { return EncodeDate(date.year(), date.month(), date.day()); }

QString shortDateFormat()
{
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

QString shortDateText(TDateTime date) { return QLocale().toString(qDateFromDate(date), shortDateFormat()); }

void useDialogFont(QWidget* window)
{
    QFont small = window->font();
    small.setPointSize(8);
    window->setFont(small);
}

QSize clientSizeFor(int outerWidth, int outerHeight) { return {outerWidth - 8, outerHeight - 27}; }

void centreOnScreen(QWidget* window)
{
    if (const QScreen* on = window->screen())
        window->move(on->geometry().center() - window->rect().center());
}

QVariant columnAlignment(bool rightAligned)
{
    return QVariant::fromValue(Qt::Alignment((rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
}

QToolBar* newToolBar(QWidget* parent, const char* name, int height)
{
    auto* bar = new QToolBar(parent);
    bar->setObjectName(name);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setFixedHeight(height);
    bar->setIconSize(QSize(12, 12));
    bar->layout()->setContentsMargins(1, 1, 1, 1);
    bar->layout()->setSpacing(0);
    return bar;
}

QAction* newAction(QObject* list, const char* name, const char* caption, const char* hint, const char* image)
{
    auto* action = new QAction(QString::fromUtf8(caption), list);
    action->setObjectName(name);
    action->setToolTip(QString::fromUtf8(hint));
    action->setStatusTip(QString::fromUtf8(hint));
    if (image)
        action->setIcon(QIcon(QString::fromUtf8(image)));
    return action;
}

QToolButton* newToolButton(QToolBar* bar, const char* name, QAction* action, QSize size)
{
    auto* button = new QToolButton(bar);
    button->setObjectName(name);
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    button->setIconSize(QSize(12, 12));
    button->setFixedSize(size);
    bar->addWidget(button);
    return button;
}

int columnWidthFor(const QTableView* view, int designed, const QString& widestText)
{
    // An item's text keeps the focus frame's margin and one pixel on both sides.
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    return std::max(designed, view->fontMetrics().horizontalAdvance(widestText) + 2 * margin + 2);
}

void setUpReportView(QTableView* view)
{
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setShowGrid(false);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->horizontalHeader()->setHighlightSections(false);
}

QVariant highlightOddRow(int row)
{
    constexpr std::uint32_t ODD_ROW_COLOUR = 0xFFE3E4;
    if (row % 2 == 0)
        return {};
    return QBrush(colorFromValue(ODD_ROW_COLOUR));
}

void MessageBox::show(QWidget* parent, const QString& message, bool error)
{
    if (showing) {
        std::cerr << "ltmonitor: " << message.toStdString() << "\n";
        return;
    }
    showing = true;
    try {
        if (redirected)
            redirected(message);
        else if (error)
            QMessageBox::critical(parent, QString::fromUtf8(APPLICATION_TITLE), message);
        else
            QMessageBox::information(parent, QString::fromUtf8(APPLICATION_TITLE), message);
    } catch (...) {
        showing = false;
        throw;
    }
    showing = false;
}

void MessageBox::showError(QWidget* parent, const QString& message) { show(parent, message, true); }

void MessageBox::showNotice(QWidget* parent, const QString& message) { show(parent, message, false); }

bool ToldDamage::firstTime(const LTDataCorruptedException& damage)
{
    // A region without a place cannot be recognised again: it is told.
    return damage.offset() < 0 || regions.emplace(damage.offset(), damage.length()).second;
}

void DamageNotices::add(const LTDataCorruptedException& damage)
{
    if (told && !told->firstTime(damage))
        return;
    if (shown.size() >= MAX_SHOWN) {
        ++more;
        return;
    }
    QString line = QString::fromStdString(damage.what());
    if (!logFile.empty() && damage.offset() >= 0)
        line = QString::fromStdString(logFile + ": " + damage.skipped() + ":\n") + line;
    shown << line;
}

QStringList DamageNotices::lines() const
{
    QStringList all = shown;
    if (more > 0)
        all << QString("... and %1 more damaged regions.").arg(more);
    if (!all.isEmpty())
        all << "\"ltreport check\" lists every damaged region of the log.";
    return all;
}

void showException(std::exception_ptr thrown)
{
    // Called where nothing may be thrown on: a box that cannot be shown
    // leaves its message on standard error.
    try {
        try {
            std::rethrow_exception(thrown);
        } catch (const std::exception& e) {
            MessageBox::showError(nullptr, QString::fromUtf8(e.what()));
        } catch (...) {
            MessageBox::showError(nullptr, QString());
        }
    } catch (const std::exception& e) {
        std::fputs("ltmonitor: an error could not be shown: ", stderr);
        std::fputs(e.what(), stderr);
        std::fputs("\n", stderr);
    } catch (...) {
        std::fputs("ltmonitor: an error could not be shown\n", stderr);
    }
}

MessageBox::Redirect::Redirect(Handler handler) : previous(std::move(redirected))
{
    redirected = std::move(handler);
}

MessageBox::Redirect::~Redirect()
{
    redirected = std::move(previous);
}

MonitorApplication::MonitorApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool MonitorApplication::notify(QObject* receiver, QEvent* event)
{
    // The last resort: handlers of our own are guarded where they are
    // connected, so nothing should arrive here.
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        showException(std::current_exception());
    }
    return false;
}
