// Live heap bytes of the process, counted by replacing operator new/delete
// in the benchmark programs.
#pragma once

#include <cstddef>

namespace heapcount {
long long liveBytes();
}
