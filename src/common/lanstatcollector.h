// The LAN interfaces of the machine with their byte counters, read from the
// interface table of "iphlpapi.dll" (loaded at run time).
#pragma once

#include "iphlpapi.h"
#include "platform/dynlib.h"

#include <memory>
#include <string>
#include <vector>

class DbgLogger;

class LanStatisticsCollector {
public:
    // onlyOperational: list only interfaces whose operational status is 5.
    // Throws LTException when the library or GetIfTable cannot be had.
    LanStatisticsCollector(DbgLogger* dbgLogger, bool onlyOperational);
    LanStatisticsCollector(const LanStatisticsCollector&) = delete;
    LanStatisticsCollector& operator=(const LanStatisticsCollector&) = delete;

    // Reads the table again; false (and no interfaces listed) on failure.
    bool refresh();
    int count() const { return static_cast<int>(nicIfIndexes.size()); }
    // Positions are 0 .. count()-1, valid until the next refresh; a position
    // out of range throws std::out_of_range.
    std::string getName(int index) const;
    DWORD getSentOctets(int index) const;
    DWORD getReceivedOctets(int index) const;
    // The interface's index in the system (dwIndex): a link re-created under
    // the same name gets a new one.
    DWORD getIfIndex(int index) const;
    // Whether the interface is up and running (operational status 5).
    bool isOperational(int index) const;
    // Position of the first interface with that name, or -1.
    int find(const std::string& name) const;

private:
    const MIB_IFROW& row(int index) const;
    MIB_IFTABLE* table() const { return reinterpret_cast<MIB_IFTABLE*>(buffer.get()); }
    void allocate(ULONG size);

    [[maybe_unused]] DbgLogger* dbgLogger; // kept, as every component keeps it; nothing is traced here
    platform::DynamicLibrary library;
    GetIfTableFn imported_GetIfTable = nullptr;
    std::unique_ptr<DWORD[]> buffer; // DWORDs keep the table aligned
    ULONG bufferSize = 0;
    bool readFailed = false;
    bool onlyOperational;
    std::vector<DWORD> nicIfIndexes;
};
