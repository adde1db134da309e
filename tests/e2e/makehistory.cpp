// A made-up history for pictures and demonstrations: hourly records of one
// LAN connection over the last days, written to the service's connection
// log, and a price table of two items in the user's data folder.
//   makehistory CONNECTION DAYS [MB_PER_HOUR]    (about 6 MB an hour unless given)
#include "common/common.h"
#include "common/datetime.h"
#include "log/conlogger.h"
#include "model/datamodel.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

namespace {

constexpr std::uint64_t Mb = 1048576;

// Busy evenings, quiet nights, a little more at weekends; no randomness,
// so that pictures of the same day look alike.
std::uint64_t receivedIn(TDateTime hour, double mbPerHour)
{
    const double h = std::fmod(hour, 1.0) * 24;
    const double evening = 1 + std::sin((h - 13) / 24 * 2 * M_PI);
    const double weekend = DayOfWeek(hour) == 1 || DayOfWeek(hour) == 7 ? 1.6 : 1.0;
    const double day = 1 + 0.3 * std::sin(std::floor(hour) * 1.7);
    return static_cast<std::uint64_t>(evening * weekend * day * mbPerHour * Mb);
}

void writeHistory(const std::string& connection, int days, double mbPerHour)
{
    const std::string folder = monitor::getServiceDataFolder();
    std::filesystem::create_directories(folder);
    ConnectionLogger log(nullptr, folder + "/" + CONNECTION_LOG_FILE_NAME);
    const TDateTime now = Now();
    const TDateTime first = std::floor(now) - days;
    // Each hour from its index: adding 1/24 up drifts to xx.59 in a year.
    const auto hours = static_cast<long>(std::floor((now - first) * 24 + 1e-6));
    for (long i = 0; i < hours; ++i) {
        const TDateTime hour = first + static_cast<double>(i) / 24;
        const std::uint64_t received = receivedIn(hour, mbPerHour);
        log.logLANConnection(connection, hour, hour + 3599.0 / 86400, received / 7, received);
    }

    History history;
    const int id = history.entryNames.idOf(connection);
    history.prices.setPrice(id, std::floor(now) - days - 30, 0.05, 0.02);
    history.prices.setPrice(id, std::floor(now) - days / 2, 0.04, 0.015);
    history.prices.save(monitor::getDataFolder() + "/" + PRICE_FILE_NAME);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: makehistory CONNECTION DAYS [MB_PER_HOUR]\n");
        return 2;
    }
    try {
        writeHistory(argv[1], std::atoi(argv[2]), argc == 4 ? std::atof(argv[3]) : 6.0);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "makehistory: %s\n", e.what());
        return 1;
    }
}
