// The connection log at the size of ten years of ten LAN interfaces:
// appending records, reading them all into the monitor's model, and the
// plain sequential read of the same file as the baseline; then the views
// over that model (a year of months, a month of days) and a meter tick of
// today's totals.
//
//   build/dev/bin/logreader_bench
#include "common/datetime.h"
#include "heapcount.h"
#include "log/conlogger.h"
#include "model/datamodel.h"
#include "model/sharedstatreader.h"
#include "model/todaytot.h"
#include "model/viewformat.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>

namespace {

constexpr int interfaces = 10;
constexpr int years = 10;
constexpr int days = years * 365;
constexpr int recordsInLog = interfaces * days * 24; // 876,000

constexpr int damagedRegions = 1000;
constexpr int frameSize = 2 + 35 + 6; // every record names "enpNs0"

struct Workspace {
    std::string folder;
    std::string logPath;
    // The same log with 1,000 damaged records spread over it and 64 KiB of
    // random bytes after its end.
    std::string damagedPath;
    Workspace()
    {
        char pattern[] = "/tmp/linktally-bench-XXXXXX";
        folder = ::mkdtemp(pattern);
        ::setenv("LINKTALLY_IPC_DIR", folder.c_str(), 1);
        logPath = folder + "/cn.log";
        ConnectionLogger logger(nullptr, logPath);
        const TDateTime first = EncodeDate(2016, 1, 1);
        for (int hour = 0; hour < days * 24; ++hour) {
            const TDateTime start = first + hour / 24.0;
            for (int i = 0; i < interfaces; ++i)
                logger.logLANConnection("enp" + std::to_string(i) + "s0", start, start + 3599.0 / 86400.0,
                                        1000000u + static_cast<unsigned>(hour), 5000000u + static_cast<unsigned>(i));
        }
        damagedPath = folder + "/damaged.log";
        std::filesystem::copy_file(logPath, damagedPath);
        const int fd = ::open(damagedPath.c_str(), O_RDWR);
        for (int region = 0; region < damagedRegions; ++region) {
            // A type byte that is neither 0 nor 1 after unscrambling.
            const unsigned char junk = 0xEE;
            const off_t at = static_cast<off_t>(region) * (recordsInLog / damagedRegions) * frameSize + 2;
            if (::pwrite(fd, &junk, 1, at) != 1)
                std::abort();
        }
        std::vector<unsigned char> tail(64 * 1024);
        std::mt19937 random(2026);
        for (unsigned char& byte : tail)
            byte = static_cast<unsigned char>(random());
        if (::pwrite(fd, tail.data(), tail.size(), std::filesystem::file_size(logPath)) !=
            static_cast<ssize_t>(tail.size()))
            std::abort();
        ::close(fd);
    }
    ~Workspace() { std::filesystem::remove_all(folder); }
};

Workspace& workspace()
{
    static Workspace w; // built once, on first use, outside the timed loops
    return w;
}

void BM_PlainSequentialRead(benchmark::State& state)
{
    const std::string& path = workspace().logPath;
    std::vector<char> buffer(64 * 1024);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        ssize_t got;
        while ((got = ::read(fd, buffer.data(), buffer.size())) > 0) {
            bytes += got;
            benchmark::DoNotOptimize(buffer.data());
        }
        ::close(fd);
    }
    state.SetBytesProcessed(bytes);
    state.SetItemsProcessed(state.iterations() * recordsInLog);
}
BENCHMARK(BM_PlainSequentialRead)->Unit(benchmark::kMillisecond);

void BM_LogReaderReadAll(benchmark::State& state)
{
    const std::string& path = workspace().logPath;
    double heapPerRecord = 0;
    for (auto _ : state) {
        const long long before = heapcount::liveBytes();
        History history;
        LogRecords& records = history.records;
        LogReader reader(path);
        reader.readAll(records);
        if (records.size() != recordsInLog)
            state.SkipWithError("wrong record count");
        heapPerRecord = static_cast<double>(heapcount::liveBytes() - before) / records.size();
        benchmark::DoNotOptimize(records.byStart().data());
    }
    state.SetItemsProcessed(state.iterations() * recordsInLog);
    state.counters["heap_bytes_per_record"] = heapPerRecord;
}
BENCHMARK(BM_LogReaderReadAll)->Unit(benchmark::kMillisecond);

// Every region (and the random tail) is reported once and skipped; the
// records around them stay.
void BM_LogReaderReadAllDamaged(benchmark::State& state)
{
    const std::string& path = workspace().damagedPath;
    for (auto _ : state) {
        History history;
        LogReader reader(path);
        int reports = 0;
        readPastCorruption([&] { reader.readAll(history.records); },
                           [&reports](const LTDataCorruptedException&) { ++reports; });
        if (reports != damagedRegions + 1 || history.records.size() != recordsInLog - damagedRegions)
            state.SkipWithError("wrong count of reports or records");
        benchmark::DoNotOptimize(history.records.byStart().data());
    }
    state.SetItemsProcessed(state.iterations() * recordsInLog);
}
BENCHMARK(BM_LogReaderReadAllDamaged)->Unit(benchmark::kMillisecond);

void BM_ConnectionLoggerAppend(benchmark::State& state)
{
    const std::string path = workspace().folder + "/append.log";
    std::filesystem::remove(path);
    ConnectionLogger logger(nullptr, path);
    const TDateTime start = EncodeDate(2026, 12, 8);
    for (auto _ : state)
        logger.logLANConnection("enp3s0", start, start + 0.04, 123456789u, 987654321u);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ConnectionLoggerAppend);

// The whole log in the model, as the totals window holds it.
struct Loaded : History {
    std::unique_ptr<RecordFilter_byConnectionName> filter;
    Loaded()
    {
        LogReader(workspace().logPath).readAll(records);
        filter = std::make_unique<RecordFilter_byConnectionName>(&entryNames, entryNames.findId("enp3s0"));
        prices.setPrice(filter->getConnectionId(), EncodeDate(2016, 1, 1), 0.01, 0.02);
        prices.setPrice(filter->getConnectionId(), EncodeDate(2020, 1, 1), 0.005, 0.01);
    }
};

Loaded& loaded()
{
    static Loaded model;
    return model;
}

void BM_YearView(benchmark::State& state)
{
    Loaded& m = loaded();
    for (auto _ : state)
        benchmark::DoNotOptimize(computePeriod(PeriodView::Year, EncodeDate(2023, 5, 1), m.records, *m.filter));
}
BENCHMARK(BM_YearView)->Unit(benchmark::kMicrosecond);

void BM_MonthView(benchmark::State& state)
{
    Loaded& m = loaded();
    for (auto _ : state)
        benchmark::DoNotOptimize(computePeriod(PeriodView::Month, EncodeDate(2023, 5, 1), m.records, *m.filter));
}
BENCHMARK(BM_MonthView)->Unit(benchmark::kMicrosecond);

void BM_TodayTotalsTick(benchmark::State& state)
{
    Loaded& m = loaded();
    SetFixedNow(EncodeDate(2023, 5, 14) + 0.5); // a day inside the log: 240 records
    TodayTotals today(workspace().logPath, &m.prices, &m.entryNames);
    SharedStatisticsReader live;
    live.refresh();
    for (auto _ : state) {
        today.update(false);
        benchmark::DoNotOptimize(today.getTotals(*m.filter, live));
    }
    ClearFixedNow();
}
BENCHMARK(BM_TodayTotalsTick);

} // namespace

BENCHMARK_MAIN();
