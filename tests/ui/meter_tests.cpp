// The meter window over its real models: a scripted interface table, a
// live table published by the test, the test's own settings and files.
#include "common/common.h"
#include "damagedlog.h"
#include "errors/ltexception.h"
#include "fakes/fake_table.h"
#include "fakes/live_table.h"
#include "fakes/scripted_ras.h"
#include "model/contrace.h"
#include "model/datamodel.h"
#include "model/optionsmodel.h"
#include "platform/named_lock.h"
#include "ui/guicommon.h"
#include "ui/monitor_main.h"

#include <QAction>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <filesystem>
#include <map>
#include <fstream>

namespace {

constexpr QRgb SENTINEL = 0xFFFF00FF;
constexpr QRgb WHITE = 0xFFFFFFFF;
constexpr QRgb GREEN = 0xFF008000; // the default foreground, 0x00008000

class Meter : public FakeTable {
protected:
    ScriptedRas noPhoneBook;
    std::unique_ptr<TMainForm> form;
    LiveTable live;
    QStringList errors;
    MessageBox::Redirect boxes{[this](const QString& message) { errors << message; }};

    void SetUp() override
    {
        FakeTable::SetUp();
        addRow("eth0", 6, 5);
        addRow("wlan0", 6, 5);
    }
    // Settings the next meter starts with.
    void storedSettings(const std::function<void(LTOptions&)>& change)
    {
        DataList names;
        names.idOf("eth0");
        LTOptions options(&names);
        change(options);
    }
    TMainForm& start(bool withTray = false)
    {
        form = std::make_unique<TMainForm>(noPhoneBook);
        form->isTrayAvailable = [withTray] { return withTray; };
        form->startMonitor();
        return *form;
    }
    QString panel(int index) { return form->StatusBar->panelText(index); }
    QImage chart(int width = 243, int height = 43)
    {
        QImage image(width, height, QImage::Format_ARGB32);
        image.fill(SENTINEL);
        QPainter canvas(&image);
        form->drawChart(canvas, width, height);
        return image;
    }
    // The first and the last row of column x painted in colour, or -1.
    std::pair<int, int> rowsOf(const QImage& image, int x, QRgb colour)
    {
        int first = -1, last = -1;
        for (int y = 0; y < image.height(); ++y)
            if (image.pixel(x, y) == colour) {
                if (first < 0)
                    first = y;
                last = y;
            }
        return {first, last};
    }
};

} // namespace

TEST_F(Meter, with_no_interface_log_or_phone_book_selects_the_dummy_connection_shows_the_background_and_reads_offline)
{
    clearRows();
    storedSettings([](LTOptions& o) { o.setChartBG(0xFFFFFF); });
    TMainForm& meter = start();
    ASSERT_EQ(meter.entryNames->size(), 1);
    EXPECT_EQ(meter.entryNames->nameOf(0), "<DUMMY CONNECTION>");
    EXPECT_EQ(meter.options->getConnectionId(), 0);
    EXPECT_EQ(panel(0), "S/R: 0.00/0.00 Mb");
    EXPECT_EQ(panel(1), "Costs: ?");
    EXPECT_EQ(panel(2), "Offline");
    const QImage image = chart();
    EXPECT_EQ(image.pixel(0, 0), WHITE);
    EXPECT_EQ(image.pixel(242, 42), WHITE);
    EXPECT_EQ(meter.windowTitle(), "Linktally Monitor 1.3.1");
    EXPECT_EQ(meter.size(), QSize(245, 64));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Meter, places_itself_where_it_was_unless_less_than_20_by_30_pixels_of_the_screen_would_be_left)
{
    // The off-screen platform's screen is 800 x 800.
    storedSettings([](LTOptions& o) { o.setScreenPos(780, 770); });
    EXPECT_EQ(start().pos(), QPoint(780, 770));

    storedSettings([](LTOptions& o) { o.setScreenPos(781, 10); });
    EXPECT_EQ(start().pos(), QPoint(800 - 245, 800 - 64 - 30));
    // Placed again once on screen, where the frame is known (the
    // off-screen platform's is 2 px wide), and stored then.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_EQ(form->pos(), QPoint(800 - 249, 800 - 68 - 30));
    int x = 0, y = 0;
    form->options->getScreenPos(x, y);
    EXPECT_EQ(QPoint(x, y), QPoint(551, 702));

    storedSettings([](LTOptions& o) { o.setScreenPos(10, 771); });
    EXPECT_EQ(start().pos(), QPoint(555, 706));
}

TEST_F(Meter, is_opaque_at_transparency_0_and_has_alpha_25_at_90)
{
    EXPECT_DOUBLE_EQ(start().windowOpacity(), 1.0);
    storedSettings([](LTOptions& o) { o.setTransparency(90); });
    EXPECT_NEAR(start().windowOpacity(), 25 / 255.0, 0.002);
}

TEST_F(Meter, reads_today_s_megabytes_costs_and_online_from_the_live_table)
{
    std::ofstream(monitor::getDataFolder() + "/" + PRICE_FILE_NAME) << "eth0\n1\n2000-01-01 1 0.5\n";
    live.rows({{"eth0", 1048576, 2097152, 0, 0}});
    start();
    EXPECT_EQ(panel(0), "S/R: 1.00/2.00 Mb");
    EXPECT_EQ(panel(1), "Costs: 2.00");
    EXPECT_EQ(panel(2), "Online");
}

TEST_F(Meter, shows_a_status_too_long_for_its_panel_cut_with_an_ellipsis_and_whole_in_its_tool_tip)
{
    live.rows({{"eth0", 35000ull * 1048576, 140000ull * 1048576, 0, 0}});
    start();
    const QString whole = "S/R: 35000.00/140000.00 Mb";
    EXPECT_EQ(panel(0), whole);
    auto* shown = form->StatusBar->findChild<QLabel*>("Panel0");
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->text().endsWith(QChar(0x2026))) << shown->text().toStdString();
    EXPECT_TRUE(whole.startsWith(shown->text().chopped(1)));
    EXPECT_EQ(shown->toolTip(), whole);
}

TEST_F(Meter, tells_once_after_start_which_line_of_the_price_table_failed_and_prices_nothing)
{
    const std::string file = monitor::getDataFolder() + "/" + PRICE_FILE_NAME;
    std::ofstream(file) << "eth0\n2\n2000-01-01 1 0.5\n2000-02-01 1,5 0.5\n";
    live.rows({{"eth0", 1048576, 0, 0, 0}});
    TMainForm& meter = start();
    EXPECT_EQ(panel(1), "Costs: ?");
    EXPECT_EQ(meter.prices->size(), 0);
    QCoreApplication::processEvents();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(QString::fromStdString(file + ", line 4: '1,5'"))) << errors[0].toStdString();
}

TEST_F(Meter, tells_a_damaged_region_of_the_log_once_though_two_models_read_it_at_start)
{
    const damagedlog::Case damage = damagedlog::fieldDamages().front();
    std::filesystem::create_directories(monitor::getServiceDataFolder());
    testenv::writeBytes(monitor::getConnectionLogFile(), damage.bytes);
    start();
    QCoreApplication::processEvents();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].count(" damaged bytes at offset "), 1) << errors[0].toStdString();
}

TEST_F(Meter, turns_offline_on_the_next_tick_and_drops_the_trace_after_chart_width_plus_2_missing_ticks)
{
    live.rows({{"eth0", 0, 0, 100, 100}});
    TMainForm& meter = start();
    ASSERT_EQ(meter.chartWidth, 243);
    live.rows({});
    meter.TimerTimer();
    EXPECT_EQ(panel(2), "Offline");
    for (int tick = 1; tick < 244; ++tick)
        meter.TimerTimer();
    EXPECT_EQ(meter.tracer->indexOf("eth0"), 0);
    meter.TimerTimer();
    EXPECT_EQ(meter.tracer->indexOf("eth0"), -1);
}

TEST_F(Meter, paints_traffic_at_the_peak_from_the_top_row_and_never_the_bottom_row)
{
    storedSettings([](LTOptions& o) { o.setChartBG(0xFFFFFF); });
    live.rows({{"eth0", 0, 0, 0, 0}});
    TMainForm& meter = start();
    live.rows({{"eth0", 0, 0, 1000, 0}});
    meter.TimerTimer(); // peak 500
    meter.TimerTimer();
    meter.TimerTimer(); // smoothed: 500, 300, 200 in the last three columns
    const QImage image = chart(260, 43);
    EXPECT_EQ(rowsOf(image, 240, GREEN), std::make_pair(0, 41));
    EXPECT_EQ(rowsOf(image, 241, WHITE), std::make_pair(0, 16)); // y = 25
    EXPECT_EQ(rowsOf(image, 241, GREEN), std::make_pair(17, 41));
    EXPECT_EQ(rowsOf(image, 242, WHITE), std::make_pair(0, 24)); // y = 17
    EXPECT_EQ(rowsOf(image, 242, GREEN), std::make_pair(25, 41));
    EXPECT_EQ(rowsOf(image, 239, WHITE), std::make_pair(0, 41)); // no traffic
    for (int x = 0; x < 260; ++x)
        ASSERT_EQ(image.pixel(x, 42), SENTINEL) << "bottom row at " << x;
    for (int x = 243; x < 260; ++x)
        ASSERT_EQ(image.pixel(x, 0), SENTINEL) << "column beyond the chart width " << x;
}

TEST_F(Meter, paints_a_column_that_rounds_to_height_0_in_the_background_only)
{
    storedSettings([](LTOptions& o) { o.setChartBG(0xFFFFFF); });
    live.rows({{"eth0", 0, 0, 0, 0}});
    TMainForm& meter = start();
    live.rows({{"eth0", 0, 0, 1000, 0}});
    meter.TimerTimer();
    live.rows({{"eth0", 0, 0, 101000, 0}});
    meter.TimerTimer(); // peak 50300; column 241 carries 500, less than a pixel
    const QImage image = chart();
    EXPECT_EQ(rowsOf(image, 241, WHITE), std::make_pair(0, 41));
    EXPECT_EQ(rowsOf(image, 241, GREEN), std::make_pair(-1, -1));
    EXPECT_EQ(rowsOf(image, 242, GREEN), std::make_pair(0, 41));
}

TEST_F(Meter, lists_every_connection_in_its_menu_and_changes_nothing_when_the_selected_one_is_chosen)
{
    TMainForm& meter = start();
    meter.sbConMenuClick();
    const QList<QAction*> items = meter.pmConMenu->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), "eth0");
    EXPECT_TRUE(items[0]->isChecked());
    EXPECT_FALSE(items[1]->isChecked());
    meter.pmConMenu->hide();

    const std::string settings = testenv::readFile(std::string(std::getenv("XDG_CONFIG_HOME")) +
                                                   "/Tarnwick Software/Linktally/1.3.1.reg");
    meter.ConMenuItemClick(items[0]);
    EXPECT_EQ(testenv::readFile(std::string(std::getenv("XDG_CONFIG_HOME")) + "/Tarnwick Software/Linktally/1.3.1.reg"),
              settings);

    meter.ConMenuItemClick(items[1]);
    EXPECT_EQ(meter.options->getConnectionId(), 1);
    EXPECT_EQ(meter.filter->getConnectionId(), 1);
    EXPECT_EQ(meter.pbChart->toolTip(), "wlan0");
    meter.sbConMenuClick();
    EXPECT_TRUE(meter.pmConMenu->actions()[1]->isChecked());
    meter.pmConMenu->hide();

    // A 280-character name is cut in the menu and whole in its tool tip.
    const std::string longName(280, 'v');
    meter.entryNames->idOf(longName);
    meter.sbConMenuClick();
    const QAction* item = meter.pmConMenu->actions()[2];
    EXPECT_EQ(item->text(), QString(59, 'v') + QChar(0x2026));
    EXPECT_EQ(item->toolTip().toStdString(), longName);
    meter.pmConMenu->hide();
}

TEST_F(Meter, with_a_tray_starts_hidden_offers_the_opposite_of_its_state_and_stores_its_place_on_every_hide)
{
    TMainForm& meter = start(true);
    meter.HideTimerTimer();
    EXPECT_FALSE(meter.isVisible());
    EXPECT_EQ(meter.actShowHide->text(), "Show Monitor");
    meter.actShowHide->trigger();
    EXPECT_TRUE(meter.isVisible());
    EXPECT_EQ(meter.actShowHide->text(), "Hide Monitor");
    EXPECT_EQ(meter.actShowHide->toolTip(), "Hide Linktally Monitor");
    meter.move(150, 250);
    meter.actShowHide->trigger();
    EXPECT_FALSE(meter.isVisible());
    EXPECT_EQ(meter.actShowHide->text(), "Show Monitor");
    EXPECT_EQ(meter.actShowHide->toolTip(), "Show Linktally Monitor");
    int x = 0, y = 0;
    meter.options->getScreenPos(x, y);
    EXPECT_EQ(QPoint(x, y), QPoint(150, 250));

    // Minimised counts as hidden: Show brings it back to its normal state.
    meter.actShowHide->trigger();
    meter.showMinimized();
    emit meter.PopupMenu1->aboutToShow();
    EXPECT_EQ(meter.actShowHide->text(), "Show Monitor");
    meter.actShowHide->trigger();
    EXPECT_TRUE(meter.isSeen());
    EXPECT_FALSE(meter.isMinimized());
    EXPECT_EQ(meter.actShowHide->text(), "Hide Monitor");

    meter.actShowHide->trigger();
    ASSERT_FALSE(meter.isVisible());
    meter.isTrayAvailable = [] { return false; }; // the tray went away
    meter.TimerTimer();
    EXPECT_TRUE(meter.isVisible());
}

TEST_F(Meter, without_a_tray_stays_on_screen_because_nothing_could_bring_it_back)
{
    TMainForm& meter = start(false);
    meter.HideTimerTimer();
    EXPECT_TRUE(meter.isVisible());
    meter.actShowHide->trigger();
    meter.actHide->trigger();
    EXPECT_TRUE(meter.isVisible());
    emit meter.PopupMenu1->aboutToShow();
    EXPECT_FALSE(meter.actShowHide->isEnabled());
}

TEST_F(Meter, has_its_menu_in_order_with_the_captions_and_images)
{
    TMainForm& meter = start();
    QStringList captions;
    for (QAction* item : meter.PopupMenu1->actions())
        captions << (item->isSeparator() ? "-" : item->text());
    EXPECT_EQ(captions, QStringList({"Totals", "Costs", "Options", "-", "About", "-", "Hide Monitor", "Exit"}));
    EXPECT_FALSE(meter.actShutdown->icon().isNull());
    EXPECT_FALSE(meter.actTotals->icon().isNull());
    EXPECT_EQ(meter.sbConMenu->toolTip(), "Select Connection");
    EXPECT_EQ(meter.Timer->interval(), 1000);
    EXPECT_EQ(meter.HideTimer->interval(), 200);
}

TEST_F(Meter, saves_the_prices_confirmed_in_the_editor_and_restores_the_table_the_editor_changed_on_cancel)
{
    const std::string file = monitor::getDataFolder() + "/" + PRICE_FILE_NAME;
    std::filesystem::remove(file); // no table from an earlier test
    TMainForm& meter = start();
    const int eth0 = meter.entryNames->findId("eth0");
    meter.runPrices = [eth0](Prices* table, QWidget*) {
        table->setPrice(eth0, EncodeDate(2026, 12, 1), 0.5, 0.25);
        return false; // cancelled after an addition
    };
    meter.actPrices->trigger();
    EXPECT_EQ(meter.prices->size(), 0);
    EXPECT_EQ(testenv::readFile(file), "");

    meter.runPrices = [eth0](Prices* table, QWidget*) {
        table->setPrice(eth0, EncodeDate(2026, 12, 1), 0.5, 0.25);
        return true;
    };
    meter.actPrices->trigger();
    EXPECT_EQ(meter.prices->size(), 1);
    EXPECT_NE(testenv::readFile(file).find("eth0"), std::string::npos);

    meter.runPrices = [](Prices* table, QWidget*) {
        table->removePrice(0, EncodeDate(2026, 12, 1));
        return false; // a deletion cancelled
    };
    meter.actPrices->trigger();
    EXPECT_EQ(meter.prices->size(), 1);
}

TEST(MeterStatusBar, paints_its_texts_as_plain_labels_and_lays_them_out_only_when_shown)
{
    QWidget window;
    QFont small = window.font();
    small.setPointSize(7);
    window.setFont(small);
    TStatusBar bar(&window, {{"", 115, Qt::AlignLeft}, {"", 50, Qt::AlignRight}});
    bar.setGeometry(0, 0, 165, BOTTOM_HEIGHT);
    bar.setPanelText(0, "S/R: 16.35/83.17 Mb");
    auto* panel = bar.findChild<QLabel*>("Panel0");
    EXPECT_EQ(panel->text(), ""); // hidden: kept, not laid out
    window.show();
    for (const char* text : {"S/R: 16.35/83.17 Mb", "Costs: ?", "Offline", "S/R: 35000.00/140000.00 Mb"})
        for (int index : {0, 1}) {
            SCOPED_TRACE(text);
            bar.setPanelText(index, text);
            auto* shown = bar.findChild<QLabel*>(QString("Panel%1").arg(index));
            QLabel plain(shown->text(), &window);
            plain.setFont(shown->font());
            plain.setFrameStyle(shown->frameStyle());
            plain.setAlignment(shown->alignment());
            plain.setIndent(shown->indent());
            plain.resize(shown->size());
            const auto pixels = [](QWidget* panel) { return panel->grab().toImage().convertToFormat(QImage::Format_RGB32); };
            EXPECT_EQ(pixels(shown), pixels(&plain));
        }
}

TEST(MeterIcon, read_per_size_gives_every_size_as_an_icon_of_all_its_pictures)
{
    std::map<int, QString> files;
    QIcon whole;
    for (int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        files[side] = QString(":/icons/linktally-%1.png").arg(side);
        whole.addFile(files[side], QSize(side, side));
    }
    const QIcon perSize(new TSizedIconEngine(files));
    const auto painted = [](const QIcon& icon, QSize size) {
        QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        icon.paint(&painter, canvas.rect());
        return canvas;
    };
    for (const QSize size : {QSize(16, 16), QSize(20, 20), QSize(22, 22), QSize(30, 18), QSize(32, 32), QSize(300, 300)}) {
        for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
            SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " mode " << mode);
            EXPECT_EQ(perSize.pixmap(size, mode).toImage(), whole.pixmap(size, mode).toImage());
            EXPECT_EQ(perSize.actualSize(size, mode), whole.actualSize(size, mode));
        }
        EXPECT_EQ(painted(perSize, size), painted(whole, size));
    }
    EXPECT_EQ(perSize.availableSizes(), whole.availableSizes());
}

TEST(MonitorApplication, shows_an_error_escaping_a_handler_and_goes_on)
{
    QStringList errors;
    MessageBox::Redirect boxes([&](const QString& message) { errors << message; });
    QMenu menu;
    QAction* item = menu.addAction("Totals");
    QObject::connect(item, &QAction::triggered, guarded([] { throw LTException("Can't open FileMapping. Access denied!"); }));
    item->trigger();
    QTimer::singleShot(0, guarded([] { throw 42; }));
    QTimer::singleShot(0, [] { throw LTException("unguarded"); }); // the application's last resort
    QCoreApplication::processEvents();
    EXPECT_EQ(errors, QStringList({"Can't open FileMapping. Access denied!", "", "unguarded"}));
}

TEST(InstanceLock, lets_one_monitor_of_a_session_run)
{
    const platform::InstanceLock first("Local\\Linktally1.3.1", nullptr);
    EXPECT_TRUE(first.isHeld());
    const platform::InstanceLock second("Local\\Linktally1.3.1", nullptr);
    EXPECT_FALSE(second.isHeld());
    EXPECT_TRUE(second.alreadyExists());
}
