// The meter window's one-second tick with ten live connections whose
// counters grow every tick, and its start-up on a year of ten interfaces'
// log; a bare copy of the live table, a fill of the chart's image, a plain
// widget's repaint and a plain read of the log are the baselines in the
// same run. Off screen (QT_QPA_PLATFORM=offscreen), below temporary folders.
//
//   build/dev/bin/meter_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//   build/dev/bin/meter_bench --write-year-log FILE   (the log alone, for bench/ltmonitor_usage.sh)
#include "common/common.h"
#include "common/datetime.h"
#include "common/sharedstatdata.h"
#include "model/budgetstore.h"
#include "model/budgetwatch.h"
#include "model/contrace.h"
#include "model/datamodel.h"
#include "model/optionsmodel.h"
#include "model/sharedstatreader.h"
#include "offscreen.h"
#include "platform/ras.h"
#include "platform/shared_memory.h"
#include "ui/guicommon.h"
#include "ui/monitor_main.h"

#include <QImage>
#include <QPainter>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

namespace {

constexpr int interfaces = BENCH_INTERFACES; // as many rows as the live table has
constexpr int chartW = 243, chartH = 43;
const std::string selected = "enp3s0";

std::string interfaceName(int i) { return benchInterfaceName(i); }

// A year of the interfaces' hourly records.
void writeYearLog(const std::string& path) { writeHourlyLog(path, 365); }

// The same folders as a test process gets, the log, the prices and the
// selected connection.
struct Workspace {
    std::string root;
    std::string logPath;
    Workspace()
    {
        root = makePrivateFolders();

        const std::string serviceFolder = monitor::getServiceDataFolder();
        std::filesystem::create_directories(serviceFolder);
        logPath = serviceFolder + "/" + CONNECTION_LOG_FILE_NAME;
        writeYearLog(logPath);

        std::ofstream prices(monitor::getDataFolder() + "/" + PRICE_FILE_NAME);
        for (int i : {0, 3, 7})
            prices << interfaceName(i) << "\n2\n2000-01-01 0.01 0.02\n2020-06-01 0.005 0.01\n";

        DataList names;
        names.idOf(selected);
        LTOptions(&names).setConnectionId(0);
    }
    ~Workspace() { std::filesystem::remove_all(root); }
};

std::unique_ptr<Workspace> workspace;

// The service's side: ten rows, each one's counters growing by its own
// varying amount every tick.
struct LiveTable {
    platform::SharedMemory memory;
    SharedStatData* data = nullptr;
    std::mt19937 random{2026};

    LiveTable()
    {
        memory.create(SHAREDSTAT_NAME, sizeof(SharedStatData), nullptr);
        data = static_cast<SharedStatData*>(memory.data());
        data->active = 1;
        data->size = interfaces;
        for (int i = 0; i < interfaces; ++i) {
            SharedStatEntry& e = data->table[i];
            e.UID = i + 1;
            std::strncpy(e.name, interfaceName(i).c_str(), sizeof e.name - 1);
        }
    }
    void tick()
    {
        for (int i = 0; i < interfaces; ++i) {
            SharedStatEntry& e = data->table[i];
            const std::uint32_t sent = 1000u * (i + 1) + random() % 50000u;
            const std::uint32_t received = 8000u * (i + 1) + random() % 400000u;
            e.lastSent += sent;
            e.lastReceived += received;
            e.quantumSent += sent;
            e.quantumReceived += received;
        }
    }
};

LiveTable& live()
{
    static LiveTable table;
    return table;
}

// One meter for the tick benchmarks, running with a full chart; it goes
// before the application does.
std::unique_ptr<RasProvider> tickRas;
std::unique_ptr<TMainForm> tickForm;

TMainForm& meter()
{
    if (!tickForm) {
        live();
        tickRas = makeSystemRasProvider();
        tickForm = std::make_unique<TMainForm>(*tickRas);
        tickForm->startMonitor();
        for (int tick = 0; tick < tickForm->chartWidth + 2; ++tick) {
            live().tick();
            tickForm->TimerTimer();
        }
    }
    return *tickForm;
}

void BM_SharedStatRefresh(benchmark::State& state)
{
    LiveTable& table = live();
    SharedStatisticsReader reader;
    for (auto _ : state) {
        table.tick();
        reader.refresh();
        benchmark::DoNotOptimize(reader.getLastSent(3));
    }
    state.counters["rows"] = reader.size();
}
BENCHMARK(BM_SharedStatRefresh);

void BM_ChartImageFill(benchmark::State& state)
{
    QImage image(chartW, chartH, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter canvas(&image);
        canvas.fillRect(0, 0, chartW, chartH, QColor(0xF0, 0xF0, 0xF0));
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_ChartImageFill);

// A shown 245x64 window whose 243x43 child fills itself: Qt's share of a
// synchronous repaint.
void BM_PlainWidgetRepaint(benchmark::State& state)
{
    struct Child : QWidget {
        using QWidget::QWidget;
        int paints = 0;
        void paintEvent(QPaintEvent*) override
        {
            QPainter(this).fillRect(rect(), QColor(0xF0, 0xF0, 0xF0));
            ++paints;
        }
    };
    QWidget window;
    window.setFixedSize(245, 64);
    auto* child = new Child(&window);
    child->setGeometry(1, 1, chartW, chartH);
    window.show();
    QCoreApplication::processEvents();
    child->paints = 0;
    for (auto _ : state)
        child->repaint();
    state.counters["paints_per_tick"] = double(child->paints) / double(state.iterations());
}
BENCHMARK(BM_PlainWidgetRepaint);

// The tick with the meter on screen: updateModel and updateStatus, whose
// repaint of pbChart paints the chart into the window's backing store.
void BM_MeterTickShown(benchmark::State& state)
{
    TMainForm& form = meter();
    LiveTable& table = live();
    form.show();
    QCoreApplication::processEvents();
    int paints = 0;
    const auto paint = form.pbChart->onPaint;
    form.pbChart->onPaint = [&](QPainter& canvas) {
        ++paints;
        paint(canvas);
    };
    for (auto _ : state) {
        table.tick();
        form.TimerTimer();
    }
    form.pbChart->onPaint = paint;
    state.counters["paints_per_tick"] = double(paints) / double(state.iterations());
    if (form.StatusBar->panelText(2) != "Online")
        state.SkipWithError("the selected connection is not online");
}
BENCHMARK(BM_MeterTickShown);

// As above, and the event loop's pass that follows: the three status panels
// whose text changed repaint, and the window is flushed.
void BM_MeterTickShownWithEvents(benchmark::State& state)
{
    TMainForm& form = meter();
    LiveTable& table = live();
    form.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        table.tick();
        form.TimerTimer();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_MeterTickShownWithEvents);

// The tick with the meter hidden (as it starts beside a tray), where
// repaint paints nothing: the chart is drawn into an image instead.
void hiddenTicks(benchmark::State& state, TMainForm& form)
{
    LiveTable& table = live();
    form.hide();
    QCoreApplication::processEvents();
    QImage image(chartW, chartH, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        table.tick();
        form.TimerTimer();
        QPainter canvas(&image);
        form.drawChart(canvas, chartW, chartH);
    }
    benchmark::DoNotOptimize(image.constBits());
}

void BM_MeterTickHiddenChartToImage(benchmark::State& state) { hiddenTicks(state, meter()); }
BENCHMARK(BM_MeterTickHiddenChartToImage);

// The hidden tick with none and with three budgets (of interfaces with and
// without prices, caps never reached): what watching them adds to a tick.
void BM_MeterTickHiddenWithBudgets(benchmark::State& state)
{
    TMainForm& form = meter();
    const int budgets = static_cast<int>(state.range(0));
    for (int i = 0; i < budgets; ++i)
        BudgetStore().setBudget(interfaceName(i * 3), Budget{1e9, 1e9, 5});
    form.budgets->reload(Now());
    hiddenTicks(state, form);
    for (int i = 0; i < budgets; ++i)
        BudgetStore().removeBudget(interfaceName(i * 3));
    form.budgets->reload(Now());
    state.counters["budgets"] = budgets;
}
BENCHMARK(BM_MeterTickHiddenWithBudgets)->Arg(0)->Arg(3);

// The chart alone, full, into an image.
void BM_DrawChartToImage(benchmark::State& state)
{
    TMainForm& form = meter();
    QImage image(chartW, chartH, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter canvas(&image);
        form.drawChart(canvas, chartW, chartH);
    }
    benchmark::DoNotOptimize(image.constBits());
}
BENCHMARK(BM_DrawChartToImage);

// What the same chart costs written straight into the image's rows, as a
// measure of what drawChart could cost; same_pixels checks it against
// drawChart once.
void paintRows(const ConnectionTrace& ct, QImage& image, QRgb background, QRgb foreground, int H)
{
    const int columns = ct.getVisibleTrackLength();
    std::vector<int> top(static_cast<std::size_t>(columns)); // the first row in the foreground
    for (int i = 0; i < columns; ++i) {
        const std::uint32_t traffic = ct.getTraffic(i);
        const int y = traffic == 0 ? 0 : static_cast<int>(std::floor(double(traffic) / double(ct.getMaxTraffic()) * H));
        top[static_cast<std::size_t>(i)] = std::max(H - y - 1, 0);
    }
    for (int row = 0; row < H - 1; ++row) { // the bottom row stays as it was
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int i = 0; i < columns; ++i)
            line[i] = row < top[static_cast<std::size_t>(i)] ? background : foreground;
    }
}

void BM_ChartRowsWrittenDirectly(benchmark::State& state)
{
    TMainForm& form = meter();
    const ConnectionTrace& ct = form.tracer->trace(form.tracer->indexOf(selected.c_str()));
    const QRgb background = colorFromValue(form.options->getChartBG()).rgba();
    const QRgb foreground = colorFromValue(form.options->getChartFG()).rgba();
    QImage direct(chartW, chartH, QImage::Format_ARGB32_Premultiplied);
    QImage painted(chartW, chartH, QImage::Format_ARGB32_Premultiplied);
    direct.fill(0xFFFF00FF);
    painted.fill(0xFFFF00FF);
    {
        QPainter canvas(&painted);
        form.drawChart(canvas, chartW, chartH);
    }
    paintRows(ct, direct, background, foreground, chartH);
    state.counters["same_pixels"] = direct == painted;
    for (auto _ : state)
        paintRows(ct, direct, background, foreground, chartH);
    benchmark::DoNotOptimize(direct.constBits());
}
BENCHMARK(BM_ChartRowsWrittenDirectly);

void BM_PlainReadOfYearLog(benchmark::State& state)
{
    std::vector<char> buffer(64 * 1024);
    for (auto _ : state) {
        const int fd = ::open(workspace->logPath.c_str(), O_RDONLY);
        while (::read(fd, buffer.data(), buffer.size()) > 0)
            benchmark::DoNotOptimize(buffer.data());
        ::close(fd);
    }
}
BENCHMARK(BM_PlainReadOfYearLog)->Unit(benchmark::kMillisecond);

// Construction and startMonitor on the year's log, without the splash;
// the meter shows itself (no tray off screen). Its destruction is not timed.
void BM_MeterStartUp(benchmark::State& state)
{
    live();
    const std::unique_ptr<RasProvider> ras = makeSystemRasProvider();
    for (auto _ : state) {
        auto form = std::make_unique<TMainForm>(*ras);
        form->startMonitor();
        state.PauseTiming();
        if (form->entryNames->findId(selected) != form->options->getConnectionId())
            state.SkipWithError("the selected connection was not restored");
        form.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MeterStartUp)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--write-year-log") == 0) {
        writeYearLog(argv[2]);
        return 0;
    }
    workspace = std::make_unique<Workspace>();
    const int status = runOffScreen(argc, argv);
    tickForm.reset();
    workspace.reset();
    return status;
}
