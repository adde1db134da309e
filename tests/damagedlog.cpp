#include "damagedlog.h"

#include "log/conlogger.h"
#include "testenv.h"

#include <random>

namespace damagedlog {

std::vector<unsigned char> cleanLog()
{
    const std::string path = testenv::freshFolder("clean") + "/cn.log";
    {
        ConnectionLogger logger(nullptr, path);
        for (int i = 0; i < RECORDS; ++i)
            logger.logLANConnection("eth0", FIRST_HOUR + i / 24.0, FIRST_HOUR + (i + 1) / 24.0, sentOf(i), 1);
    }
    return testenv::readBytes(path);
}

std::vector<Case> fieldDamages()
{
    const std::vector<unsigned char> clean = cleanLog();
    const std::size_t middle = 100 * FRAME; // frame 100
    std::vector<Case> cases;

    std::vector<unsigned char> torn(clean.begin(), clean.end() - 10); // power lost during the last write
    cases.push_back({"a torn last frame", torn, RECORDS - 1, FRAME - 10});

    std::vector<unsigned char> flipped = clean;
    flipped[middle] ^= 0x80; // bit rot: the length 39 reads as 167
    cases.push_back({"one bit flipped in a middle frame's length", flipped, RECORDS, 0});

    std::vector<unsigned char> zeros = clean;
    zeros.resize(clean.size() + 4096); // a crash after the size grew, before the data reached the disk
    cases.push_back({"4 KiB of zeros appended", zeros, RECORDS, 4096});

    std::vector<unsigned char> overwritten = clean;
    std::mt19937 random(2026);
    for (std::size_t i = middle + 20; i < middle + 120; ++i)
        overwritten[i] = static_cast<unsigned char>(random());
    // Bytes 4120 .. 4219 touch frames 100, 101 and 102.
    cases.push_back({"100 random bytes over the middle", overwritten, RECORDS - 3, 0});

    std::vector<unsigned char> zeroLength = clean;
    zeroLength[middle] = zeroLength[middle + 1] = 0;
    cases.push_back({"a length of 0", zeroLength, RECORDS, 0});

    std::vector<unsigned char> toTheEnd = clean;
    const std::size_t rest = clean.size() - middle - 2;
    toTheEnd[middle] = static_cast<unsigned char>(rest & 0xFF);
    toTheEnd[middle + 1] = static_cast<unsigned char>(rest >> 8);
    cases.push_back({"a middle frame whose length runs exactly to the end", toTheEnd, RECORDS, 0});
    return cases;
}

} // namespace damagedlog
