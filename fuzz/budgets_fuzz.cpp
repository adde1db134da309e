// Feeds arbitrary text as the budgets' settings file: no crash, every budget
// read is one that could have been set, and it is written back and read
// again unchanged.
#include "errors/ltexception.h"
#include "model/budgetstore.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::string budgetsFile;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char folder[] = "/tmp/budgets-fuzz-XXXXXX";
    if (!::mkdtemp(folder))
        std::abort();
    ::setenv("XDG_CONFIG_HOME", folder, 1);
    budgetsFile = BudgetStore().filePath();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::ofstream(budgetsFile, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                          static_cast<std::streamsize>(size));
    BudgetStore store;
    for (const auto& [connection, budget] : store.budgets()) {
        checkBudget(budget); // throws, and the fuzzer reports it, for one that could not have been set
        store.toldLevel(connection, EncodeDate(2026, 12, 5));
        if (connection.find_first_of("\r\n") != std::string::npos)
            continue; // not one setBudget takes
        try {
            store.setBudget(connection, budget);
        } catch (const LTException&) {
            continue; // a control character in the name
        }
        if (store.budgetOf(connection) != budget)
            __builtin_trap();
    }
    return 0;
}
