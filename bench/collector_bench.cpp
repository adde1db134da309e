// One collector pass over ten LAN interfaces (statistics mutex, holder
// update, logging check, publishing), with the interface table read alone
// and the mutex alone as baselines in the same run. As root it runs in a
// private network namespace with five veth pairs.
//
//   build/dev/bin/collector_bench
#include "common/common.h"
#include "common/lanstatcollector.h"
#include "log/conlogger.h"
#include "netns.h"
#include "platform/named_lock.h"
#include "service/rasconbuffer.h"
#include "service/statcollector.h"
#include "service/statholder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string folder;

void setUp()
{
    char pattern[] = "/tmp/linktally-bench-XXXXXX";
    folder = ::mkdtemp(pattern);
    ::setenv("LINKTALLY_IPC_DIR", folder.c_str(), 1);
    ::setenv("LINKTALLY_PPP_RUNDIR", folder.c_str(), 1);
    ::setenv("LINKTALLY_PPP_PEERS", folder.c_str(), 1);
    netns::enterPrivateWithVethPairs(5);
}

void BM_CollectorPass(benchmark::State& state)
{
    ConnectionLogger logger(nullptr, folder + "/cn.log");
    const std::unique_ptr<RasProvider> ras = makeSystemRasProvider();
    RasConBuffer buffer(*ras, nullptr);
    buffer.refresh();
    StatisticsCollector collector(nullptr, &logger, &buffer, *ras);
    for (auto _ : state)
        collector.pass();
    state.counters["connections"] = collector.holder().size();
}
BENCHMARK(BM_CollectorPass);

void BM_InterfaceTableRefresh(benchmark::State& state)
{
    LanStatisticsCollector collector(nullptr, true);
    for (auto _ : state)
        benchmark::DoNotOptimize(collector.refresh());
}
BENCHMARK(BM_InterfaceTableRefresh);

void BM_StatisticsMutex(benchmark::State& state)
{
    platform::NamedLock mutex = openStatisticsMutex();
    for (auto _ : state) {
        mutex.wait();
        mutex.release();
    }
}
BENCHMARK(BM_StatisticsMutex);

} // namespace

int main(int argc, char** argv)
{
    setUp();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(folder);
    return 0;
}
