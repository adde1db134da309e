#include "model/startup.h"

#include "common/common.h"
#include "common/lanstatcollector.h"
#include "errors/ltexception.h"
#include "log/logreader.h"
#include "platform/ras.h"

#include <exception>
#include <memory>

namespace {

void addInterfaceNames(DataList& entryNames, std::string* interfacesError)
{
    try {
        LanStatisticsCollector interfaces(nullptr, false);
        interfaces.refresh();
        for (int i = 0; i < interfaces.count(); ++i)
            entryNames.idOf(interfaces.getName(i));
    } catch (const LTException& e) {
        // Without the interface table the other sources still name entries.
        if (!interfacesError)
            throw;
        *interfacesError = e.what();
    }
}

void addPhoneBookNames(RasProvider& ras, DataList& entryNames)
{
    RASENTRYNAMEA probe{};
    probe.dwSize = sizeof probe;
    DWORD bytes = sizeof probe, count = 0;
    DWORD result = RasEnumEntriesA(ras, nullptr, nullptr, &probe, &bytes, &count);
    if (result == 0) {
        for (DWORD i = 0; i < count && i < 1; ++i)
            entryNames.idOf(probe.szEntryName);
        return;
    }
    if (result != ERROR_BUFFER_TOO_SMALL || bytes < sizeof(RASENTRYNAMEA))
        return;
    std::vector<RASENTRYNAMEA> entries(bytes / sizeof(RASENTRYNAMEA));
    entries[0].dwSize = sizeof(RASENTRYNAMEA);
    if (RasEnumEntriesA(ras, nullptr, nullptr, entries.data(), &bytes, &count) != 0)
        return;
    for (DWORD i = 0; i < count && i < entries.size(); ++i)
        entryNames.idOf(entries[i].szEntryName);
}

} // namespace

void readPastCorruption(const std::function<void()>& pass,
                        const std::function<void(const LTDataCorruptedException&)>& onCorrupted)
{
    for (;;) {
        try {
            pass();
            return;
        } catch (const LTDataCorruptedException& e) {
            onCorrupted(e);
        }
    }
}

void readWholeLog(const std::function<void()>& pass)
{
    std::exception_ptr first;
    readPastCorruption(pass, [&first](const LTDataCorruptedException&) {
        if (!first)
            first = std::current_exception();
    });
    if (first)
        std::rethrow_exception(first);
}

void loadEntryNamesAndPrices(RasProvider& ras, DataList& entryNames, Prices& prices, const std::string& logFile,
                             const std::string& priceFile, bool withInterfaces,
                             const std::function<void(const LTDataCorruptedException&)>& onCorrupted,
                             std::string* priceFileError, std::string* interfacesError)
{
    if (withInterfaces)
        addInterfaceNames(entryNames, interfacesError);
    LogReader reader(logFile);
    if (onCorrupted)
        readPastCorruption([&] { reader.readEntryNames(entryNames); }, onCorrupted);
    else
        reader.readEntryNames(entryNames);
    addPhoneBookNames(ras, entryNames);
    try {
        prices.load(priceFile);
    } catch (const LTException& e) {
        // The table keeps what came before the failure, as it keeps the
        // names registered on the way.
        if (priceFileError)
            *priceFileError = e.what();
    }
    if (entryNames.size() == 0)
        entryNames.idOf("<DUMMY CONNECTION>");
}
