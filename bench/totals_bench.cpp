// The totals window over ten years of ten LAN interfaces' hourly records
// (876,000): opening it (the whole read, every tab's computation and the
// first paint of the shown tab), a step of the Month and Year tabs (compute,
// then repaint the list and the chart), and a repaint of the chart with 31
// rows; the plain sequential read of the same log is the baseline in the
// same run. Off screen (QT_QPA_PLATFORM=offscreen), below temporary folders.
//
//   build/dev/bin/totals_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "common/common.h"
#include "common/datetime.h"
#include "model/datamodel.h"
#include "model/sharedstatreader.h"
#include "model/todaytot.h"
#include "offscreen.h"
#include "ui/linktally_mainFrm.h"
#include "ui/monthCostsFrme.h"
#include "ui/stackedbarchart.h"
#include "ui/yearCostsFrme.h"

#include <QAction>
#include <QImage>
#include <QTabWidget>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int interfaces = BENCH_INTERFACES;
constexpr int days = 10 * 365;
constexpr int recordsInLog = interfaces * days * 24;

std::string interfaceName(int i) { return benchInterfaceName(i); }

// Private folders, the log up to the current hour and a price table.
struct Workspace {
    std::string root;
    std::string logPath;
    Workspace()
    {
        root = makePrivateFolders();
        const std::string serviceFolder = monitor::getServiceDataFolder();
        std::filesystem::create_directories(serviceFolder);
        logPath = serviceFolder + "/" + CONNECTION_LOG_FILE_NAME;
        writeHourlyLog(logPath, days);
    }
    ~Workspace() { std::filesystem::remove_all(root); }
};

std::unique_ptr<Workspace> workspace;

// What the meter hands the window.
struct MeterModel {
    DataList entryNames;
    Prices prices{&entryNames};
    RecordFilter_byConnectionName filter{&entryNames, entryNames.idOf(interfaceName(3))};
    TodayTotals todayTotals{workspace->logPath, &prices, &entryNames};
    SharedStatisticsReader sharedStat;
    MeterModel()
    {
        for (int i = 0; i < interfaces; ++i)
            prices.setPrice(entryNames.idOf(interfaceName(i)), EncodeDate(2000, 1, 1), 0.01, 0.02);
    }
};

void BM_PlainSequentialRead(benchmark::State& state)
{
    std::vector<char> buffer(64 * 1024);
    for (auto _ : state) {
        const int fd = ::open(workspace->logPath.c_str(), O_RDONLY);
        while (::read(fd, buffer.data(), buffer.size()) > 0)
            benchmark::DoNotOptimize(buffer.data());
        ::close(fd);
    }
    state.SetItemsProcessed(state.iterations() * recordsInLog);
}
BENCHMARK(BM_PlainSequentialRead)->Unit(benchmark::kMillisecond);

// prepare (the whole read, every tab's init) and the first paint, on the
// Month tab; hiding frees the records for the next opening.
void BM_OpenTotalsWindow(benchmark::State& state)
{
    MeterModel model;
    TMainForm2 window;
    window.PageControl->setCurrentWidget(window.tsMonth);
    for (auto _ : state) {
        window.prepare(&model.prices, &model.entryNames, &model.filter, &model.todayTotals, &model.sharedStat);
        window.show();
        benchmark::DoNotOptimize(window.grab()); // painted whole, whether exposed or not
        state.PauseTiming();
        window.hide();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * recordsInLog);
}
BENCHMARK(BM_OpenTotalsWindow)->Unit(benchmark::kMillisecond);

// Next, then Previous: each a computation of the period and a repaint of
// the tab's list and chart.
template <class Frame> void stepView(benchmark::State& state, Frame* TMainForm2::*frameOf, QWidget* TMainForm2::*sheetOf)
{
    MeterModel model;
    TMainForm2 window;
    window.PageControl->setCurrentWidget(window.*sheetOf);
    window.prepare(&model.prices, &model.entryNames, &model.filter, &model.todayTotals, &model.sharedStat);
    window.show();
    Frame* frame = window.*frameOf;
    QAction* previous = frame->template findChild<QAction*>("actPred");
    QAction* next = frame->template findChild<QAction*>("actNext");
    bool forward = false;
    for (auto _ : state) {
        (forward ? next : previous)->trigger();
        forward = !forward;
        benchmark::DoNotOptimize(frame->grab());
    }
    window.hide();
}

void BM_StepMonthView(benchmark::State& state) { stepView(state, &TMainForm2::monthCostsFrame, &TMainForm2::tsMonth); }
BENCHMARK(BM_StepMonthView)->Unit(benchmark::kMillisecond);

void BM_StepYearView(benchmark::State& state) { stepView(state, &TMainForm2::yearCostsFrame, &TMainForm2::tsYear); }
BENCHMARK(BM_StepYearView)->Unit(benchmark::kMillisecond);

void BM_RepaintChart31Rows(benchmark::State& state)
{
    TStackedBarChart chart;
    chart.resize(360, 380);
    std::vector<ChartRow> rows;
    for (int day = 1; day <= 31; ++day)
        rows.push_back({QStringLiteral("%1/12, Tue").arg(day, 2, 10, QLatin1Char('0')), 40.0 + day, 7.5 * day});
    chart.setRows(rows);
    chart.setLabelsRotated(true);
    QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
    chart.render(&image); // lays out once
    for (auto _ : state)
        chart.render(&image);
}
BENCHMARK(BM_RepaintChart31Rows)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    workspace = std::make_unique<Workspace>();
    const int status = runOffScreen(argc, argv);
    workspace.reset();
    return status;
}
