// The totals window: its tabs, its records' life from opening to hiding,
// and the meter's forwards.
#include "damagedlog.h"
#include "log/conlogger.h"
#include "ui/allTotalsFrme.h"
#include "ui/framemodel.h"
#include "ui/guicommon.h"
#include "ui/hourCosts.h"
#include "ui/linktally_mainFrm.h"
#include "ui/totalsFrame.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTabWidget>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

constexpr std::uint64_t Mb = FrameModel::Mb;
const TDateTime today = EncodeDate(2026, 12, 8);

class TotalsWindow : public ::testing::Test {
protected:
    std::string common = testenv::freshFolder("common");
    testenv::ScopedEnv commonData{"LINKTALLY_COMMON_APPDATA", common.c_str()};
    std::string logFile = makeLogFolder() + "/cn.log";
    FrameModel model;
    TMainForm2 window;
    QStringList messages;
    MessageBox::Redirect boxes{[this](const QString& m) { messages << m; }};

    static std::string makeLogFolder()
    {
        const std::string folder = monitor::getServiceDataFolder();
        std::filesystem::create_directories(folder);
        return folder;
    }
    void SetUp() override { SetFixedNow(today + 0.5); }
    void TearDown() override { ClearFixedNow(); }
    void open()
    {
        window.prepare(&model.history.prices, &model.history.entryNames, &model.filter, &model.todayTotals,
                       &model.sharedStat);
        window.show();
        QCoreApplication::processEvents(); // what the window tells after showing
    }
    QString todaySent() const { return window.allTotalsFrame->todayFTotals->lbTrafficU->text(); }
    QString daySent() const { return window.hourCostsFrame->totalsTableFrame->lbTrafficU->text(); }
};

} // namespace

TEST_F(TotalsWindow, opens_on_the_connection_log_and_keeps_the_tab_last_chosen)
{
    EXPECT_EQ(window.windowTitle(), "Linktally Totals 1.3.1");
    QStringList captions;
    for (int i = 0; i < window.PageControl->count(); ++i)
        captions << window.PageControl->tabText(i);
    EXPECT_EQ(captions, QStringList({"Totals", "Day", "Week", "Month", "Year", "Connection Log"}));

    open();
    EXPECT_EQ(window.size(), QSize(708, 447)); // 716 x 474 with a window manager's frame
    EXPECT_EQ(window.PageControl->size(), QSize(689, 431));
    EXPECT_EQ(window.PageControl->currentWidget(), window.TabSheet3);
    window.PageControl->setCurrentWidget(window.tsMonth);
    window.hide();
    open();
    EXPECT_EQ(window.PageControl->currentWidget(), window.tsMonth);
}

TEST_F(TotalsWindow, frees_its_records_on_hide_and_ignores_the_forwards_until_opened_again)
{
    ConnectionLogger(nullptr, logFile).logLANConnection("eth0", today + 0.1, today + 0.2, Mb, 0);
    open();
    ASSERT_NE(window.getRecords(), nullptr);
    EXPECT_EQ(todaySent(), "1.0 Mb");

    window.hide();
    EXPECT_EQ(window.getRecords(), nullptr);
    ConnectionLogger(nullptr, logFile).logLANConnection("eth0", today + 0.3, today + 0.4, Mb, 0);
    model.history.prices.setPrice(model.filter.getConnectionId(), today, 1, 1);
    window.filterChanged();
    window.pricesChanged();
    window.refreshTotals(true);
    EXPECT_EQ(todaySent(), "1.0 Mb");
    EXPECT_EQ(window.allTotalsFrame->todayFTotals->lbCostsU->text(), "?");
    EXPECT_EQ(daySent(), "1.0 Mb");

    open(); // everything anew
    EXPECT_EQ(todaySent(), "2.0 Mb");
    EXPECT_EQ(window.allTotalsFrame->todayFTotals->lbCostsU->text(), "2.00");
}

TEST_F(TotalsWindow, keeps_its_records_and_the_forwards_while_minimised)
{
    ConnectionLogger writer(nullptr, logFile);
    writer.logLANConnection("eth0", today + 0.1, today + 0.2, Mb, 0);
    open();
    window.showMinimized(); // the window manager's hide, not the program's
    ASSERT_NE(window.getRecords(), nullptr);
    writer.logLANConnection("eth0", today + 0.3, today + 0.4, Mb, 0);
    window.refreshTotals(true);
    EXPECT_EQ(window.getRecords()->size(), 2);
}

TEST_F(TotalsWindow, reads_what_the_service_appended_on_a_changed_tick_only)
{
    ConnectionLogger writer(nullptr, logFile);
    writer.logLANConnection("eth0", today + 0.1, today + 0.2, Mb, 0);
    open();
    writer.logLANConnection("eth0", today + 0.3, today + 0.4, Mb, 0);
    window.refreshTotals(false);
    EXPECT_EQ(window.getRecords()->size(), 1);
    window.refreshTotals(true);
    EXPECT_EQ(window.getRecords()->size(), 2);
    EXPECT_EQ(todaySent(), "2.0 Mb");
}

TEST_F(TotalsWindow, follows_the_selected_connection_while_shown)
{
    ConnectionLogger writer(nullptr, logFile);
    writer.logLANConnection("eth0", today + 0.1, today + 0.2, Mb, 0);
    writer.logLANConnection("wlan0", today + 0.1, today + 0.2, 3 * Mb, 0);
    open();
    model.filter.setConnectionId(model.history.entryNames.findId("wlan0"));
    window.filterChanged();
    EXPECT_EQ(todaySent(), "3.0 Mb");
}

TEST_F(TotalsWindow, reads_every_whole_record_past_damage_and_tells_it_once_a_run_with_its_place)
{
    for (const damagedlog::Case& damage : damagedlog::fieldDamages()) {
        SCOPED_TRACE(damage.name);
        ToldDamage told; // a run of the monitor
        window.toldDamage = &told;
        testenv::writeBytes(logFile, damage.bytes);
        messages.clear();
        open();
        EXPECT_EQ(window.getRecords()->size(), damage.wholeRecords);
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].startsWith(QString::fromStdString(logFile) + ": ")) << messages[0].toStdString();
        EXPECT_TRUE(messages[0].contains(" damaged bytes at offset ")) << messages[0].toStdString();
        EXPECT_TRUE(messages[0].endsWith("\"ltreport check\" lists every damaged region of the log."));
        window.refreshTotals(true);
        window.hide();
        open();
        EXPECT_EQ(messages.size(), 1); // neither on the next tick nor at the next opening
        window.hide();
    }
}
