#include "ui/splash.h"

#include "errors/ltexception.h"
#include "testenv.h"
#include "ui/guicommon.h"
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

// A splash window on one library, recording the addresses it would open.
struct Splash {
    explicit Splash(const char* library) : env("LINKTALLY_SPLASH", library)
    {
        window.openUrl = [this](const QUrl& url) {
            opened.push_back(url.toString().toStdString());
            return true;
        };
    }

    QLabel* image() { return window.findChild<QLabel*>("Image"); }

    // Loaded and shown as the meter's start-up does; `started` as when the
    // meter has started.
    void show(bool started)
    {
        window.loadSplash();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.spotsEnabled = started;
    }
    void moveTo(int x, int y) { QTest::mouseMove(image(), QPoint(x, y)); }
    void clickAt(int x, int y)
    {
        moveTo(x, y);
        QTest::mouseClick(image(), Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
    }
    Qt::CursorShape cursor() { return image()->cursor().shape(); }

    testenv::ScopedEnv env;
    TSplashFrm window;
    std::vector<std::string> opened;
};

std::string loadError(const char* library)
{
    Splash splash(library);
    try {
        splash.window.loadSplash();
    } catch (const LTException& e) {
        EXPECT_TRUE(splash.window.urlSpots.empty());
        return e.what();
    }
    return "(loaded)";
}

bool stillLoaded(const char* library)
{
    void* handle = ::dlopen(library, RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        ::dlclose(handle);
    return handle != nullptr;
}

} // namespace

TEST(SplashLoad, every_missing_or_spoilt_piece_of_the_library_has_its_message)
{
    const std::string missing = testenv::root() + "/no-such-splash.so";
    const struct {
        const char* library;
        const char* message;
    } cases[] = {
        {missing.c_str(), "Can't load splash.dll. Error code: 2."},
        {SPLASH_LIB_WITHOUT_COUNT, "Can't locate _getSpotsCount() Error code: 2."},
        {SPLASH_LIB_WITHOUT_SPOTS, "Can't locate _getSpots() Error code: 2."},
        {SPLASH_LIB_WITHOUT_RESOURCE, "Can't find SPLASH resource Error code: 2."},
        {SPLASH_LIB_EMPTY_RESOURCE, "Can't get size of a splash image Error code: 61."},
        {SPLASH_LIB_OVERSIZED_RESOURCE, "LoadResource call has failed. Error code: 14."},
        {SPLASH_LIB_CORRUPT_JPEG, "The splash image is not a valid JPEG: Not a JPEG file: starts with 0x54 0x68"},
        {SPLASH_LIB_TRUNCATED_JPEG, "The splash image is not a valid JPEG: Premature end of JPEG file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.library);
        EXPECT_EQ(loadError(c.library), c.message);
    }
}

TEST(SplashLoad, the_library_is_unloaded_after_loading_and_after_a_failure)
{
    EXPECT_EQ(loadError(SPLASH_LIB_FULL), "(loaded)");
    EXPECT_FALSE(stillLoaded(SPLASH_LIB_FULL));
    EXPECT_NE(loadError(SPLASH_LIB_CORRUPT_JPEG), "(loaded)");
    EXPECT_FALSE(stillLoaded(SPLASH_LIB_CORRUPT_JPEG));
}

TEST(SplashLoad, the_window_takes_the_size_of_the_picture_and_keeps_the_spots_in_order)
{
    Splash splash(SPLASH_LIB_FULL);
    splash.window.loadSplash();
    EXPECT_EQ(splash.window.size(), QSize(60, 40));
    EXPECT_EQ(splash.image()->geometry(), QRect(0, 0, 60, 40));
    ASSERT_EQ(splash.window.urlSpots.size(), 3u);
    const UrlSpot& second = splash.window.urlSpots[1];
    EXPECT_EQ(second.left, 30);
    EXPECT_EQ(second.top, 5);
    EXPECT_EQ(second.width, 20);
    EXPECT_EQ(second.height, 10);
    EXPECT_EQ(second.url, "file:///second-spot");
    EXPECT_EQ(splash.window.urlSpots[2].url, "file:///overlapping-spot");
}

TEST(SplashLoad, the_real_library_gives_the_designed_picture_and_its_two_spots)
{
    Splash splash(REAL_SPLASH);
    splash.window.loadSplash();
    EXPECT_EQ(splash.window.size(), QSize(243, 188));
    ASSERT_EQ(splash.window.urlSpots.size(), 2u);
    const UrlSpot& readMe = splash.window.urlSpots[0];
    EXPECT_EQ(QRect(readMe.left, readMe.top, readMe.width, readMe.height), QRect(16, 150, 64, 20));
    EXPECT_EQ(readMe.url, REAL_README_URL);
    const UrlSpot& documents = splash.window.urlSpots[1];
    EXPECT_EQ(QRect(documents.left, documents.top, documents.width, documents.height), QRect(120, 150, 96, 20));
    EXPECT_EQ(documents.url, REAL_DOCS_URL);
}

TEST(SplashSpots, moving_into_the_adjacent_spot_goes_straight_to_it)
{
    Splash splash(SPLASH_LIB_FULL);
    splash.show(true);
    splash.moveTo(29, 5);
    EXPECT_EQ(splash.window.currentSpot, 0);
    EXPECT_EQ(splash.cursor(), Qt::PointingHandCursor);
    splash.moveTo(30, 5);
    EXPECT_EQ(splash.window.currentSpot, 1);
    splash.moveTo(49, 14);
    EXPECT_EQ(splash.window.currentSpot, 1);
    splash.moveTo(50, 14);
    EXPECT_EQ(splash.window.currentSpot, -1);
    EXPECT_EQ(splash.cursor(), Qt::ArrowCursor);
}

TEST(SplashSpots, where_spots_overlap_the_earlier_one_wins)
{
    Splash splash(SPLASH_LIB_FULL);
    splash.show(true);
    splash.moveTo(15, 14);
    EXPECT_EQ(splash.window.currentSpot, 0);
    splash.moveTo(15, 15);
    EXPECT_EQ(splash.window.currentSpot, 2);
}

TEST(SplashSpots, the_mouse_finds_no_spot_before_the_meter_starts)
{
    Splash splash(SPLASH_LIB_FULL);
    splash.show(false);
    splash.moveTo(15, 10);
    EXPECT_EQ(splash.window.currentSpot, -1);
    EXPECT_EQ(splash.cursor(), Qt::ArrowCursor);
}

TEST(SplashSpots, without_spots_the_picture_shows_the_cursor_stays_and_a_click_only_hides)
{
    Splash splash(SPLASH_LIB_ZERO_SPOTS);
    splash.show(true);
    EXPECT_EQ(splash.window.size(), QSize(60, 40));
    splash.moveTo(15, 10);
    splash.moveTo(35, 8);
    EXPECT_EQ(splash.window.currentSpot, -1);
    EXPECT_EQ(splash.cursor(), Qt::ArrowCursor);
    splash.clickAt(35, 8);
    EXPECT_FALSE(splash.window.isVisible());
    EXPECT_TRUE(splash.opened.empty());
}

TEST(SplashClick, a_click_before_the_meter_starts_does_nothing)
{
    Splash splash(SPLASH_LIB_FULL);
    splash.show(false);
    splash.clickAt(35, 8);
    EXPECT_TRUE(splash.window.isVisible());
    EXPECT_TRUE(splash.opened.empty());
}

TEST(SplashClick, a_click_outside_every_spot_hides_and_opens_nothing)
{
    Splash splash(SPLASH_LIB_FULL);
    splash.show(true);
    splash.clickAt(55, 35);
    EXPECT_FALSE(splash.window.isVisible());
    EXPECT_TRUE(splash.opened.empty());
}

TEST(SplashClick, a_click_in_a_spot_opens_its_address_and_hides_and_an_address_nothing_opens_is_told)
{
    Splash splash(SPLASH_LIB_FULL);
    splash.show(true);
    splash.clickAt(35, 8);
    EXPECT_EQ(splash.opened, std::vector<std::string>{"file:///second-spot"});
    EXPECT_FALSE(splash.window.isVisible());

    QStringList told;
    MessageBox::Redirect boxes([&told](const QString& message) { told << message; });
    Splash nothingOpens(SPLASH_LIB_FULL);
    nothingOpens.window.openUrl = [](const QUrl&) { return false; };
    nothingOpens.show(true);
    nothingOpens.moveTo(0, 0); // away, for the move into the spot to count
    nothingOpens.clickAt(35, 8);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].startsWith("No program on this desktop opens file:///second-spot.")) << told[0].toStdString();
}

TEST(SplashTimer, the_hide_timer_hides_the_window_once_and_the_about_window_then_stays)
{
    Splash splash(SPLASH_LIB_FULL);
    EXPECT_EQ(splash.window.HideTimer->interval(), 2500);
    EXPECT_FALSE(splash.window.HideTimer->isActive());
    splash.show(true);
    splash.window.HideTimer->setInterval(20);
    splash.window.HideTimer->start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !splash.window.isVisible(); }, 2000));
    EXPECT_FALSE(splash.window.HideTimer->isActive());
    splash.window.show();
    QTest::qWait(100);
    EXPECT_TRUE(splash.window.isVisible());
}

TEST(MonitorArtwork, every_icon_is_in_the_resources_at_its_size)
{
    const struct {
        const char* path;
        int size;
    } icons[] = {{":/icons/linktally-16.png", 16},   {":/icons/linktally-22.png", 22},  {":/icons/linktally-24.png", 24},
                 {":/icons/linktally-32.png", 32},   {":/icons/linktally-48.png", 48},  {":/icons/linktally-64.png", 64},
                 {":/icons/linktally-128.png", 128}, {":/icons/linktally-256.png", 256}, {":/icons/conmenu.png", 15},
                 {":/icons/conmenu@2x.png", 30},     {":/icons/exit.png", 16},          {":/icons/exit@2x.png", 32},
                 {":/icons/totals.png", 16},         {":/icons/totals@2x.png", 32}};
    for (const auto& icon : icons) {
        SCOPED_TRACE(icon.path);
        const QImage image(icon.path);
        EXPECT_EQ(image.size(), QSize(icon.size, icon.size));
        EXPECT_TRUE(image.hasAlphaChannel());
    }
}
