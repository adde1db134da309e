#include "common/lanstatcollector.h"

#include "common/dbglogger.h"
#include "common/ltassert.h"

#include <cstring>

LanStatisticsCollector::LanStatisticsCollector(DbgLogger* dbgLogger, bool onlyOperational)
    : dbgLogger(dbgLogger), onlyOperational(onlyOperational)
{
    if (!library.load("iphlpapi.dll"))
        throw LTException("LanStatisticsCollector initialization failed! Can't load iphlpapi.dll",
                          library.lastError());
    imported_GetIfTable = reinterpret_cast<GetIfTableFn>(library.symbol("GetIfTable"));
    if (!imported_GetIfTable)
        throw LTException("LanStatisticsCollector initialization failed! Can't obtain GetIfTable API-call address.",
                          library.lastError());
}

void LanStatisticsCollector::allocate(ULONG size)
{
    buffer.reset(new DWORD[(size + sizeof(DWORD) - 1) / sizeof(DWORD)]());
    bufferSize = size;
}

bool LanStatisticsCollector::refresh()
{
    LT_ASSERT(imported_GetIfTable != NULL);
    ULONG size = bufferSize;
    DWORD result = imported_GetIfTable(table(), &size, false);
    if (result == ERROR_INSUFFICIENT_BUFFER && bufferSize < size) {
        allocate(size);
        result = imported_GetIfTable(table(), &size, false);
    }
    readFailed = result != NO_ERROR;
    nicIfIndexes.clear();
    // A first read that failed outright left no table: nothing to list.
    if (readFailed || !buffer)
        return !readFailed;
    const MIB_IFTABLE* t = table();
    for (DWORD i = 0; i < t->dwNumEntries; ++i) {
        const MIB_IFROW& r = t->table[i];
        if (r.dwType == IF_TYPE_PPP || r.dwType == IF_TYPE_SOFTWARE_LOOPBACK || r.dwType == IF_TYPE_SLIP)
            continue;
        nicIfIndexes.push_back(i);
        if (onlyOperational && !isOperational(count() - 1))
            nicIfIndexes.pop_back();
    }
    return !readFailed;
}

const MIB_IFROW& LanStatisticsCollector::row(int index) const
{
    const DWORD rowNumber = nicIfIndexes.at(static_cast<std::size_t>(index));
    LT_ASSERT_TEXT(rowNumber < table()->dwNumEntries, "nicIfIndexes.at(index) < buffer->dwNumEntries");
    return table()->table[rowNumber];
}

std::string LanStatisticsCollector::getName(int index) const
{
    const MIB_IFROW& r = row(index);
    const char* descr = reinterpret_cast<const char*>(r.bDescr);
    // The byte after the description is only tested inside the field.
    if (r.dwDescrLen < MAXLEN_IFDESCR && descr[r.dwDescrLen] != '\0')
        return std::string(descr, r.dwDescrLen);
    return std::string(descr, strnlen(descr, std::min<DWORD>(r.dwDescrLen, MAXLEN_IFDESCR)));
}

DWORD LanStatisticsCollector::getSentOctets(int index) const { return row(index).dwOutOctets; }

DWORD LanStatisticsCollector::getReceivedOctets(int index) const { return row(index).dwInOctets; }

DWORD LanStatisticsCollector::getIfIndex(int index) const { return row(index).dwIndex; }

bool LanStatisticsCollector::isOperational(int index) const
{
    return row(index).dwOperStatus == IF_OPER_STATUS_OPERATIONAL;
}

int LanStatisticsCollector::find(const std::string& name) const
{
    for (int i = 0; i < count(); ++i) {
        const MIB_IFROW& r = row(i);
        // strncmp over dwDescrLen bytes, bounded by the field.
        const DWORD length = std::min<DWORD>(r.dwDescrLen, MAXLEN_IFDESCR);
        bool equal = true;
        for (DWORD k = 0; k < length; ++k) {
            const char a = static_cast<char>(r.bDescr[k]);
            const char b = k < name.size() ? name[k] : '\0';
            if (a != b) {
                equal = false;
                break;
            }
            if (a == '\0')
                break;
        }
        if (equal)
            return i;
    }
    return -1;
}
