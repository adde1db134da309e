// One LanStatisticsCollector::refresh over ten interfaces, with reading
// /proc/net/dev and the sysfs counter files of the same interfaces, and the
// raw netlink dumps, as baselines in the same run. As root it runs in a
// private network namespace with five veth pairs; otherwise on this
// machine's own interfaces.
//
//   build/dev/bin/lanstat_bench
#include "common/lanstatcollector.h"
#include "netns.h"
#include "platform/netlink.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> interfaces;

void setUp()
{
    netns::enterPrivateWithVethPairs(5);
    LanStatisticsCollector collector(nullptr, false);
    collector.refresh();
    for (int i = 0; i < collector.count(); ++i)
        interfaces.push_back(collector.getName(i));
    std::fprintf(stderr, "%zu LAN interfaces\n", interfaces.size());
}

void readFile(const char* path, char* buffer, std::size_t size)
{
    const int fd = ::open(path, O_RDONLY);
    while (::read(fd, buffer, size) > 0) {
    }
    ::close(fd);
}

void BM_LanStatisticsCollectorRefresh(benchmark::State& state)
{
    LanStatisticsCollector collector(nullptr, true);
    for (auto _ : state)
        benchmark::DoNotOptimize(collector.refresh());
    state.counters["interfaces"] = collector.count();
}
BENCHMARK(BM_LanStatisticsCollectorRefresh);

void BM_ProcNetDevRead(benchmark::State& state)
{
    char buffer[16384];
    for (auto _ : state) {
        readFile("/proc/net/dev", buffer, sizeof buffer);
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_ProcNetDevRead);

void BM_SysfsCounterFiles(benchmark::State& state)
{
    std::vector<std::string> paths;
    for (const std::string& name : interfaces)
        for (const char* counter : {"rx_bytes", "tx_bytes"})
            paths.push_back("/sys/class/net/" + name + "/statistics/" + counter);
    char buffer[64];
    for (auto _ : state)
        for (const std::string& path : paths)
            readFile(path.c_str(), buffer, sizeof buffer);
}
BENCHMARK(BM_SysfsCounterFiles);

void BM_NetlinkLinkDump(benchmark::State& state)
{
    platform::netlink::Socket socket;
    std::vector<platform::netlink::Link> links;
    for (auto _ : state)
        benchmark::DoNotOptimize(socket.dumpLinks(links));
}
BENCHMARK(BM_NetlinkLinkDump);

void BM_NetlinkStatsDump(benchmark::State& state)
{
    platform::netlink::Socket socket;
    std::vector<platform::netlink::LinkStats> stats;
    for (auto _ : state)
        benchmark::DoNotOptimize(socket.dumpStats(stats));
}
BENCHMARK(BM_NetlinkStatsDump);

} // namespace

int main(int argc, char** argv)
{
    setUp();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
