// Feeds arbitrary text as the counters' state a metrics run leaves beside
// linktally.prom: no crash, and a counter is only ever held up, never
// lowered.
#include "programs/ltreport/metrics.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace {

std::string folder;
std::string identity; // the state's first line for the log as it is

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char name[] = "/tmp/metricsstate-fuzz-XXXXXX";
    if (!::mkdtemp(name))
        std::abort();
    folder = name;
    std::ofstream(folder + "/cn.log") << "a log of some size";
    struct stat st {};
    if (::stat((folder + "/cn.log").c_str(), &st) != 0)
        std::abort();
    identity = "log " + std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) + " " + std::to_string(st.st_size) + "\n";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Mostly after the identity of the log, so that the lines below it are read.
    std::ofstream state(folder + "/.linktally.prom.state", std::ios::binary | std::ios::trunc);
    if (size > 0 && data[0] % 8 != 0)
        state << identity;
    state.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    state.close();
    MetricsFamily counter;
    counter.name = "linktally_sent_bytes_total";
    counter.type = "counter";
    counter.samples = {{"{connection=\"eth0\",type=\"lan\"}", 5}, {"", 7}};
    std::vector<MetricsFamily> families{counter};
    holdCounters(families, folder, folder + "/cn.log");
    if (families[0].samples[0].value < 5 || families[0].samples[1].value < 7)
        __builtin_trap();
    return 0;
}
