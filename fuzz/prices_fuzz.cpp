// Feeds arbitrary text to the loader of "prices.txt": it must never crash,
// only stop or throw LTException naming the file and a line, and never let
// a negative or non-finite price in, not even before a failure.
#include "common/dbglogger.h"
#include "model/datamodel.h"

#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {
std::string path;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char pattern[] = "/tmp/linktally-fuzz-XXXXXX";
    if (!::mkdtemp(pattern))
        std::abort();
    path = std::string(pattern) + "/prices.txt";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size))
        std::abort();
    ::close(fd);
    DataList names;
    Prices prices(&names);
    try {
        prices.load(path);
    } catch (const LTException& e) {
        if (std::string_view(e.what()).rfind(path + ", line ", 0) != 0)
            __builtin_trap();
    }
    for (int i = 0; i < prices.size(); ++i) {
        int id;
        TDateTime date;
        double up, down;
        prices.getItem(i, id, date, up, down);
        if (!(up >= 0 && down >= 0) || !std::isfinite(up) || !std::isfinite(down) || id >= names.size() ||
            date != std::floor(date))
            __builtin_trap();
    }
    return 0;
}
