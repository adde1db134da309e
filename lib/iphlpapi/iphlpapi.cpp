// libiphlpapi.so: GetIfTable over the interface table of this process's
// network namespace.
#include "iftable.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

// The library's one table: its sockets and link cache outlive single calls,
// which is what makes a call cheap. Callers on several threads take turns.
std::mutex tableLock;
std::unique_ptr<iftable::InterfaceTable> table;

iftable::InterfaceTable& theTable()
{
    if (!table) {
        // LINKTALLY_IPHLPAPI_SOURCE=proc reads /proc/net/dev and sysfs only.
        const char* source = std::getenv("LINKTALLY_IPHLPAPI_SOURCE");
        table = std::make_unique<iftable::InterfaceTable>(source && std::strcmp(source, "proc") == 0);
    }
    return *table;
}

} // namespace

extern "C" __attribute__((visibility("default"))) DWORD GetIfTable(MIB_IFTABLE* pIfTable, ULONG* pdwSize,
                                                                   BOOL bOrder)
{
    if (!pdwSize)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard guard(tableLock);
    iftable::InterfaceTable& interfaces = theTable();
    if (!interfaces.refresh())
        return ERROR_GEN_FAILURE;
    const ULONG needed = ifTableSize(interfaces.count());
    if (!pIfTable || *pdwSize < needed) {
        *pdwSize = needed;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    interfaces.fill(*pIfTable, bOrder != 0);
    return NO_ERROR;
}
