// A scripted interface table, loaded through $LINKTALLY_IPHLPAPI in place
// of libiphlpapi.so. Tests set its rows and the results of the next calls
// through the fake_* functions (found with dlsym on the same library).
#include "iphlpapi.h"

#include <cstring>
#include <deque>
#include <vector>

namespace {

struct Step {
    int result;     // forced result, or -1 for the table's real answer
    int rowsToAdd;  // rows that appear just before this call answers
};

std::vector<MIB_IFROW> rows;
std::deque<Step> script;
int calls = 0;

} // namespace

extern "C" {

__attribute__((visibility("default"))) void fake_reset()
{
    rows.clear();
    script.clear();
    calls = 0;
}

__attribute__((visibility("default"))) void fake_addRow(const MIB_IFROW* row) { rows.push_back(*row); }

__attribute__((visibility("default"))) void fake_script(int result, int rowsToAdd)
{
    script.push_back(Step{result, rowsToAdd});
}

__attribute__((visibility("default"))) int fake_calls() { return calls; }

__attribute__((visibility("default"))) void fake_setRow(int row, DWORD sent, DWORD received, DWORD index)
{
    rows.at(static_cast<std::size_t>(row)).dwOutOctets = sent;
    rows.at(static_cast<std::size_t>(row)).dwInOctets = received;
    rows.at(static_cast<std::size_t>(row)).dwIndex = index;
}

__attribute__((visibility("default"))) DWORD GetIfTable(MIB_IFTABLE* table, ULONG* size, BOOL)
{
    ++calls;
    Step step{-1, 0};
    if (!script.empty()) {
        step = script.front();
        script.pop_front();
    }
    for (int i = 0; i < step.rowsToAdd; ++i)
        rows.push_back(rows.empty() ? MIB_IFROW{} : rows.back());
    if (step.result >= 0 && step.result != ERROR_INSUFFICIENT_BUFFER)
        return static_cast<DWORD>(step.result);
    const ULONG needed = ifTableSize(static_cast<ULONG>(rows.size()));
    if (!table || *size < needed || step.result == ERROR_INSUFFICIENT_BUFFER) {
        *size = needed;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    table->dwNumEntries = static_cast<DWORD>(rows.size());
    if (!rows.empty())
        std::memcpy(table->table, rows.data(), rows.size() * sizeof(MIB_IFROW));
    return NO_ERROR;
}
}
